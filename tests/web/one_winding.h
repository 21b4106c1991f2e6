// The built-in model with each triangle kept in one winding only: the model
// stores every triangle twice, once each way round, at the same depth, and
// which of the two a rasteriser keeps is a tie each renderer breaks its own
// way (stripes of front and back colour that differ between Mesa and
// SwiftShader). With one winding the picture is decided by the lighting
// alone, so two renderers' pictures can be compared pixel by pixel.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "model/surface_model.h"

class OneWindingModel {
public:
    explicit OneWindingModel(const SurfaceModel& full) : full_(full) {
        std::set<std::array<std::uint32_t, 9>> seen;
        for (std::int32_t i = 0; i < full.triangleCount; ++i) {
            const TriangleRecord& record = full.triangles[i];
            if (hasArea(record) && seen.insert(cornersInAnyOrder(record)).second) {
                kept_.push_back(record);
            }
        }
    }

    SurfaceModel model() const {
        SurfaceModel model = full_;
        model.triangles = kept_.data();
        model.triangleCount = static_cast<std::int32_t>(kept_.size());
        return model;
    }

private:
    // The tables give a triangle without area the normal 0: filled it draws
    // nothing, and in the wire frame its unlit edges tie with lit ones.
    bool hasArea(const TriangleRecord& record) const {
        const Vec3& n = full_.normals[record.normalIndex[0]];
        return n.x != 0 || n.y != 0 || n.z != 0;
    }

    // The corners' positions as bits, sorted, so both windings give one key.
    std::array<std::uint32_t, 9> cornersInAnyOrder(const TriangleRecord& record) const {
        std::array<std::array<std::uint32_t, 3>, 3> corners;
        for (int c = 0; c < 3; ++c) {
            std::memcpy(corners[c].data(), &full_.vertices[record.vertexIndex[c]],
                        sizeof corners[c]);
        }
        std::sort(corners.begin(), corners.end());
        std::array<std::uint32_t, 9> key;
        for (int c = 0; c < 3; ++c) {
            std::copy(corners[c].begin(), corners[c].end(), key.begin() + 3 * c);
        }
        return key;
    }

    SurfaceModel full_;
    std::vector<TriangleRecord> kept_;
};
