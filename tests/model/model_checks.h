// Checks of the model invariants over any SurfaceModel, so that the tests can
// run them on the built tables and on deliberately broken copies of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/surface_model.h"

namespace morvane::modeltest {

// A stored coordinate in millionths. Exact for every float that is the
// nearest to a six-decimal value, which checkSixDecimalFloats makes sure of.
std::int64_t micro(float v);

// Invariant 1: record i has corners 3i, 3i + 1, 3i + 2; vertexCount = 3 triangleCount.
::testing::AssertionResult checkUnsharedCorners(const SurfaceModel& m);
// Invariant 2: the three normal indices of a record are equal.
::testing::AssertionResult checkFlatShading(const SurfaceModel& m);
// Invariant 3: every index within its table, every normal entry used.
::testing::AssertionResult checkIndexRanges(const SurfaceModel& m);
// Invariant 4: -1 in every texture slot, and no texture table.
::testing::AssertionResult checkNoTextureCoordinates(const SurfaceModel& m);
// Invariant 5: no duplicate normals, first-use order, entry 1 zero, others unit.
::testing::AssertionResult checkNormalTable(const SurfaceModel& m);
// Invariant 6: area exactly where the normal is non-zero, and the normal on
// the side from which the corners run counter-clockwise.
::testing::AssertionResult checkWindingAndArea(const SurfaceModel& m);
// Invariant 7: groups of four records per source triangle.
::testing::AssertionResult checkGroupsOfFour(const SurfaceModel& m);
// Invariant 8, first half: every float is the nearest to a six-decimal value
// and none is a negative zero.
::testing::AssertionResult checkSixDecimalFloats(const SurfaceModel& m);
// Invariant 8, second half: normals within 1.3e-4 of those recomputed from
// the stored corners.
::testing::AssertionResult checkNormalsMatchPositions(const SurfaceModel& m);
// Invariant 9: positions lie in the model's box and reach all six faces.
::testing::AssertionResult checkBounds(const SurfaceModel& m);

// A writable copy of a model's tables, to break on purpose.
struct ModelCopy {
    std::vector<TriangleRecord> triangles;
    std::vector<Vec3> vertices;
    std::vector<Vec3> normals;
    SurfaceModel header;

    explicit ModelCopy(const SurfaceModel& m);
    // The header over the copy's tables, with the copy's counts.
    SurfaceModel model() const;
};

}  // namespace morvane::modeltest
