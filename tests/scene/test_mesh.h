// Small meshes in the built-in model's layout, for drawing known shapes.
#pragma once

#include <vector>

#include "model/surface_model.h"

class TestMesh {
public:
    // One record with unshared corners and a flat normal, as the model has.
    void add(Vec3 a, Vec3 b, Vec3 c, Vec3 normal) {
        const auto first = static_cast<std::int32_t>(vertices_.size());
        const auto n = static_cast<std::int32_t>(normals_.size());
        vertices_.insert(vertices_.end(), {a, b, c});
        normals_.push_back(normal);
        triangles_.push_back({{first, first + 1, first + 2}, {n, n, n}, {-1, -1, -1}});
    }

    // An axis-aligned rectangle at depth z, counter-clockwise seen from +z.
    void addRectangle(float left, float bottom, float right, float top, float z, Vec3 normal) {
        add({left, bottom, z}, {right, bottom, z}, {right, top, z}, normal);
        add({left, bottom, z}, {right, top, z}, {left, top, z}, normal);
    }

    SurfaceModel model() const {
        return {"test",
                triangles_.data(),
                static_cast<std::int32_t>(triangles_.size()),
                vertices_.data(),
                static_cast<std::int32_t>(vertices_.size()),
                normals_.data(),
                static_cast<std::int32_t>(normals_.size()),
                nullptr,
                0,
                1};
    }

private:
    std::vector<Vec3> vertices_;
    std::vector<Vec3> normals_;
    std::vector<TriangleRecord> triangles_;
};
