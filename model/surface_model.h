// The built-in mesh: header, per-triangle records and the two Vec3 tables.
#pragma once

#include <cstdint>

struct Vec3 {
    float x, y, z;
};

struct TriangleRecord {
    std::int32_t vertexIndex[3];
    std::int32_t normalIndex[3];
    std::int32_t texCoordIndex[3];  // -1: none
};

struct SurfaceModel {
    const char* name;
    const TriangleRecord* triangles;
    std::int32_t triangleCount;
    const Vec3* vertices;
    std::int32_t vertexCount;
    const Vec3* normals;
    std::int32_t normalCount;
    const void* texCoords;  // no model has texture coordinates
    std::int32_t texCoordCount;
    std::int32_t auxValue;
};

// Constant data of the program, generated at build time.
extern const SurfaceModel builtinModel;
