// Turns source triangles into the model's three tables.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "model/generator/source_triangle.h"

namespace morvane::modelgen {

struct RecordIndices {
    std::int32_t vertex[3];
    std::int32_t normal[3];  // texture slots are always -1 and not kept here
};

struct ModelTables {
    std::vector<RecordIndices> records;
    std::vector<Micro3> vertices;
    std::vector<Micro3> normals;
    std::map<Micro3, std::int32_t> normalIndex;  // lookup by exact stored value
};

// Appends the group of four records of one source triangle (P, Q, R) with
// unit normal n: (P, Q, R) with n; (P, R, P) with zero; (R, Q, P) with -n;
// (P, R, P) with zero. Without area all four carry the zero normal. Corners
// are stored once per record; normals are rounded, then looked up by value
// and appended on first use.
void addSourceTriangle(ModelTables& tables, const SourceTriangle& t);

ModelTables buildTables(const std::vector<SourceTriangle>& triangles);

}  // namespace morvane::modelgen
