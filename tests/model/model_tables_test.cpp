// The built tables: the model invariants, the tubes, the surface counts and a
// pinned checksum; and the checks themselves, fed deliberately broken copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <tuple>
#include <utility>

#include "model/surface_model.h"
#include "tests/model/model_checks.h"

namespace {

using namespace morvane::modeltest;

using Micro = std::tuple<std::int64_t, std::int64_t, std::int64_t>;

Micro microOf(const Vec3& v) {
    return {micro(v.x), micro(v.y), micro(v.z)};
}

const Vec3& cornerOf(const SurfaceModel& m, int record, int c) {
    return m.vertices[m.triangles[record].vertexIndex[c]];
}

bool isZero(const Vec3& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// ---------------------------------------------------------------------------
// Invariants 1 to 9 over the built tables.

TEST(ModelInvariants, HeaderDescribesTheTables) {
    EXPECT_STREQ(builtinModel.name, "00");
    EXPECT_NE(builtinModel.triangles, nullptr);
    EXPECT_NE(builtinModel.vertices, nullptr);
    EXPECT_NE(builtinModel.normals, nullptr);
    EXPECT_GT(builtinModel.triangleCount, 0);
    EXPECT_EQ(builtinModel.texCoords, nullptr);
    EXPECT_EQ(builtinModel.texCoordCount, 0);
    EXPECT_EQ(builtinModel.auxValue, 1);
}

TEST(ModelInvariants, UnsharedCorners) {
    EXPECT_TRUE(checkUnsharedCorners(builtinModel));
}
TEST(ModelInvariants, FlatShading) {
    EXPECT_TRUE(checkFlatShading(builtinModel));
}
TEST(ModelInvariants, IndexRanges) {
    EXPECT_TRUE(checkIndexRanges(builtinModel));
}
TEST(ModelInvariants, NoTextureCoordinates) {
    EXPECT_TRUE(checkNoTextureCoordinates(builtinModel));
}
TEST(ModelInvariants, NormalTable) {
    EXPECT_TRUE(checkNormalTable(builtinModel));
}
TEST(ModelInvariants, WindingAndArea) {
    EXPECT_TRUE(checkWindingAndArea(builtinModel));
}
TEST(ModelInvariants, GroupsOfFour) {
    EXPECT_TRUE(checkGroupsOfFour(builtinModel));
}
TEST(ModelInvariants, SixDecimalFloats) {
    EXPECT_TRUE(checkSixDecimalFloats(builtinModel));
}
TEST(ModelInvariants, NormalsMatchPositions) {
    const auto r = checkNormalsMatchPositions(builtinModel);
    EXPECT_TRUE(r);
    RecordProperty("detail", r.message());
}
TEST(ModelInvariants, Bounds) {
    EXPECT_TRUE(checkBounds(builtinModel));
}

// ---------------------------------------------------------------------------
// The checks fail on broken copies. Each breakage is small and local, so the
// checks it does not concern still pass.

class ModelBroken : public ::testing::Test {
protected:
    ModelCopy copy{builtinModel};
};

TEST_F(ModelBroken, UntouchedCopyPassesEveryCheck) {
    const SurfaceModel m = copy.model();
    EXPECT_TRUE(checkUnsharedCorners(m));
    EXPECT_TRUE(checkFlatShading(m));
    EXPECT_TRUE(checkIndexRanges(m));
    EXPECT_TRUE(checkNoTextureCoordinates(m));
    EXPECT_TRUE(checkNormalTable(m));
    EXPECT_TRUE(checkWindingAndArea(m));
    EXPECT_TRUE(checkGroupsOfFour(m));
    EXPECT_TRUE(checkSixDecimalFloats(m));
    EXPECT_TRUE(checkNormalsMatchPositions(m));
    EXPECT_TRUE(checkBounds(m));
}

TEST_F(ModelBroken, SwappedCornerPositionsReverseTheWinding) {
    std::swap(copy.vertices[0], copy.vertices[1]);  // record 0: P and Q
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkWindingAndArea(m));
    EXPECT_FALSE(checkGroupsOfFour(m));
    EXPECT_FALSE(checkNormalsMatchPositions(m));
    EXPECT_TRUE(checkSixDecimalFloats(m));
    EXPECT_TRUE(checkBounds(m));
}

TEST_F(ModelBroken, SwappedCornerIndicesShareNoLonger) {
    std::swap(copy.triangles[5].vertexIndex[0], copy.triangles[5].vertexIndex[1]);
    EXPECT_FALSE(checkUnsharedCorners(copy.model()));
    EXPECT_TRUE(checkIndexRanges(copy.model()));
}

TEST_F(ModelBroken, NegativeZeroInANormal) {
    // Entry 1 is the zero vector; any of its components will do.
    ASSERT_TRUE(isZero(copy.normals[1]));
    copy.normals[1].y = -0.0f;
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkSixDecimalFloats(m));
    EXPECT_TRUE(checkNormalTable(m));  // -0 equals 0: the table itself is still sound
}

TEST_F(ModelBroken, NegativeZeroInAPosition) {
    ASSERT_EQ(copy.vertices[0].y, 0.0f);
    copy.vertices[0].y = -0.0f;
    EXPECT_FALSE(checkSixDecimalFloats(copy.model()));
}

TEST_F(ModelBroken, FloatOneStepOffItsDecimal) {
    copy.vertices[10].x = std::nextafter(copy.vertices[10].x, 2.0f);
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkSixDecimalFloats(m));
    EXPECT_TRUE(checkNormalsMatchPositions(m));
}

TEST_F(ModelBroken, NormalIndexOutOfRange) {
    for (auto& n : copy.triangles[7].normalIndex) {
        n = static_cast<std::int32_t>(copy.normals.size());
    }
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkIndexRanges(m));
    // The other checks refuse rather than read past the table.
    EXPECT_FALSE(checkNormalTable(m));
    EXPECT_FALSE(checkWindingAndArea(m));
    EXPECT_FALSE(checkGroupsOfFour(m));
    EXPECT_FALSE(checkNormalsMatchPositions(m));
}

TEST_F(ModelBroken, NegativeVertexIndex) {
    copy.triangles[3].vertexIndex[2] = -1;
    EXPECT_FALSE(checkIndexRanges(copy.model()));
    EXPECT_FALSE(checkUnsharedCorners(copy.model()));
}

TEST_F(ModelBroken, UnusedNormalEntry) {
    copy.normals.push_back({1.0f, 0.0f, 0.0f});
    EXPECT_FALSE(checkIndexRanges(copy.model()));
}

TEST_F(ModelBroken, MixedNormalsInOneRecord) {
    copy.triangles[4].normalIndex[2] = 1;
    EXPECT_FALSE(checkFlatShading(copy.model()));
}

TEST_F(ModelBroken, TextureSlotInUse) {
    copy.triangles[9].texCoordIndex[1] = 0;
    EXPECT_FALSE(checkNoTextureCoordinates(copy.model()));
}

TEST_F(ModelBroken, DuplicateNormalEntry) {
    // Give entry 3 the value of entry 0 but keep every record pointing where
    // it did: the table now holds one value twice.
    copy.normals[3] = copy.normals[0];
    EXPECT_FALSE(checkNormalTable(copy.model()));
}

TEST_F(ModelBroken, NormalsOutOfFirstUseOrder) {
    // Exchange entries 3 and 4 and renumber the records to match: every record
    // still carries the same vector, but entry 4 is now used before entry 3.
    std::swap(copy.normals[3], copy.normals[4]);
    for (auto& t : copy.triangles) {
        for (auto& n : t.normalIndex) {
            n = n == 3 ? 4 : n == 4 ? 3 : n;
        }
    }
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkNormalTable(m));
    EXPECT_TRUE(checkWindingAndArea(m));
    EXPECT_TRUE(checkGroupsOfFour(m));
}

TEST_F(ModelBroken, NormalNotOfUnitLength) {
    copy.normals[0].x = 0.5f;
    EXPECT_FALSE(checkNormalTable(copy.model()));
}

TEST_F(ModelBroken, NormalOnAnEdgeRecord) {
    // Record 1 is (P, R, P): no area, so it must carry the zero normal.
    for (auto& n : copy.triangles[1].normalIndex) {
        n = 0;
    }
    EXPECT_FALSE(checkWindingAndArea(copy.model()));
    EXPECT_FALSE(checkGroupsOfFour(copy.model()));
}

TEST_F(ModelBroken, ReversedCopyRotated) {
    // Record 2 should be (R, Q, P); (Q, P, R) has the same winding and normal
    // but is not the pattern.
    std::rotate(copy.vertices.begin() + 6, copy.vertices.begin() + 7, copy.vertices.begin() + 9);
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkGroupsOfFour(m));
    EXPECT_TRUE(checkWindingAndArea(m));
}

TEST_F(ModelBroken, NormalTurnedAway) {
    // A unit vector of six decimals, but not the normal of its records.
    copy.normals[0] = {0.6f, 0.8f, 0.0f};
    const SurfaceModel m = copy.model();
    EXPECT_FALSE(checkNormalsMatchPositions(m));
    EXPECT_TRUE(checkNormalTable(m));
}

TEST_F(ModelBroken, PositionOutsideTheBox) {
    copy.vertices[0].y = 1.5f;
    EXPECT_FALSE(checkBounds(copy.model()));
}

TEST_F(ModelBroken, BoxFaceNotReached) {
    // Pull every position on the largest x in by a millionth.
    const float top = 0.877346f;
    for (auto& v : copy.vertices) {
        if (v.x == top) {
            v.x = 0.877345f;
        }
    }
    EXPECT_FALSE(checkBounds(copy.model()));
}

// ---------------------------------------------------------------------------
// The tubes: records 0 to 239 and normal entries 0 to 30.

TEST(ModelTubes, UseNormalEntriesZeroToThirty) {
    std::set<std::int32_t> tube;
    for (int i = 0; i < 240; ++i) {
        tube.insert(builtinModel.triangles[i].normalIndex[0]);
    }
    ASSERT_EQ(tube.size(), 31u);
    EXPECT_EQ(*tube.begin(), 0);
    EXPECT_EQ(*tube.rbegin(), 30);
    EXPECT_TRUE(isZero(builtinModel.normals[1]));
    for (int i = 240; i < builtinModel.triangleCount; ++i) {
        const std::int32_t n = builtinModel.triangles[i].normalIndex[0];
        ASSERT_TRUE(n == 1 || n >= 31) << "surface record " << i << " uses tube entry " << n;
    }
}

TEST(ModelTubes, FirstGroupCorners) {
    const Micro p{163060, 0, 265511};
    const Micro q{863386, 27173, 993757};
    const Micro r{877346, 0, 979797};
    const Micro expected[4][3] = {{p, q, r}, {p, r, p}, {r, q, p}, {p, r, p}};
    const std::int32_t normal[4] = {0, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(microOf(cornerOf(builtinModel, i, c)), expected[i][c])
                << "record " << i << " corner " << c;
        }
        EXPECT_EQ(builtinModel.triangles[i].normalIndex[0], normal[i]);
    }
}

TEST(ModelTubes, NamedNormals) {
    // Within 2e-6 of the reference values; the ring pi of 3.14159 makes
    // entries 0 and 2 agree to the last digit.
    const auto near = [](const Vec3& v, Micro want) {
        const Micro got = microOf(v);
        return std::abs(std::get<0>(got) - std::get<0>(want)) <= 2 &&
               std::abs(std::get<1>(got) - std::get<1>(want)) <= 2 &&
               std::abs(std::get<2>(got) - std::get<2>(want)) <= 2;
    };
    EXPECT_TRUE(near(builtinModel.normals[0], {572062, 587785, -572062}));
    EXPECT_TRUE(near(builtinModel.normals[2], {-572062, -587785, 572062}));
    EXPECT_EQ(microOf(builtinModel.normals[0]), (Micro{572062, 587785, -572062}));
    EXPECT_TRUE(near(builtinModel.normals[31], {-892768, -60871, 446386}));
}

TEST(ModelTubes, CornersLieOnTheirRings) {
    // Every tube corner is 1/35 from its line, on one of the line's three
    // rings (at the start, the midpoint and the end).
    struct Line {
        double start[3], dir[3], ring[3];  // ring: distance of each ring from the start
    };
    const double h = std::sqrt(0.5);
    const double s = std::sqrt(2.0);
    const Line lines[3] = {{{-4.0 / 7, 0, -3.0 / 7}, {h, 0, h}, {0, 5 * s / 7, 10 * s / 7}},
                           {{0, -4.0 / 7, 2.0 / 7}, {0, 1, 0}, {0, 1, 2}},
                           {{-4.0 / 7, 0, 0}, {1, 0, 0}, {0, 5.0 / 7, 10.0 / 7}}};
    for (int i = 0; i < 240; ++i) {
        const Line& l = lines[i / 80];
        for (int c = 0; c < 3; ++c) {
            const Vec3& v = cornerOf(builtinModel, i, c);
            const double d[3] = {v.x - l.start[0], v.y - l.start[1], v.z - l.start[2]};
            const double along = d[0] * l.dir[0] + d[1] * l.dir[1] + d[2] * l.dir[2];
            const double across =
                std::sqrt(std::max(0.0, d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - along * along));
            EXPECT_NEAR(across, 1.0 / 35, 2e-6) << "record " << i << " corner " << c;
            double offRing = 1.0;
            for (double r : l.ring) {
                offRing = std::min(offRing, std::fabs(along - r));
            }
            EXPECT_LT(offRing, 2e-6) << "record " << i << " corner " << c;
        }
    }
}

// ---------------------------------------------------------------------------
// The surface: from record 240 on.

TEST(ModelSurface, FirstRecordCorners) {
    EXPECT_EQ(microOf(cornerOf(builtinModel, 240, 0)), (Micro{-432658, -511489, -571429}));
    EXPECT_EQ(microOf(cornerOf(builtinModel, 240, 1)), (Micro{-428571, -571429, -571429}));
    EXPECT_EQ(microOf(cornerOf(builtinModel, 240, 2)), (Micro{-403596, -571429, -521479}));
    EXPECT_EQ(builtinModel.triangles[240].normalIndex[0], 31);
}

TEST(ModelSurface, CountsWithArea) {
    int recordsWithArea = 0;
    for (int i = 0; i < builtinModel.triangleCount; ++i) {
        recordsWithArea +=
            isZero(builtinModel.normals[builtinModel.triangles[i].normalIndex[0]]) ? 0 : 1;
    }
    EXPECT_EQ(recordsWithArea, 6576);
    int surfaceGroupsWithArea = 0;
    for (int g = 240; g < builtinModel.triangleCount; g += 4) {
        surfaceGroupsWithArea += builtinModel.triangles[g].normalIndex[0] != 1 ? 1 : 0;
    }
    EXPECT_EQ(surfaceGroupsWithArea, 3228);
}

TEST(ModelSurface, DistinctPositions) {
    std::set<Micro> distinct;
    for (int i = 0; i < builtinModel.vertexCount; ++i) {
        distinct.insert(microOf(builtinModel.vertices[i]));
    }
    EXPECT_EQ(distinct.size(), 1749u);
}

TEST(ModelSurface, CountsOfThisEvaluation) {
    // Not the reference tables' 14224 / 2349: this evaluation keeps every zero-area
    // triangle that marching tetrahedra produces (376 of them).
    EXPECT_EQ(builtinModel.triangleCount, 14656);
    EXPECT_EQ(builtinModel.vertexCount, 3 * 14656);
    EXPECT_EQ(builtinModel.normalCount, 2229);
}

TEST(ModelSurface, VerticesLieNearTheTwoPlanes) {
    // Vertices on the lattice's axis edges and constant-y face diagonals lie
    // on y = 0 or 2x - z + 2/7 = 0; those on other diagonals stray from the
    // planes, by about 0.05 at most (0.0502 here, on a cell diagonal).
    double worst = 0.0;
    for (int i = 3 * 240; i < builtinModel.vertexCount; ++i) {
        const Vec3& v = builtinModel.vertices[i];
        const double toY = std::fabs(v.y);
        const double toPlane = std::fabs(2.0 * v.x - v.z + 2.0 / 7) / std::sqrt(5.0);
        worst = std::max(worst, std::min(toY, toPlane));
        ASSERT_GE(v.x, -4.0 / 7 - 1e-6);
        ASSERT_LE(v.x, 4.0 / 7 + 1e-6);
        ASSERT_GE(v.y, -4.0 / 7 - 1e-6);
        ASSERT_LE(v.y, 8.0 / 7 + 1e-6);
        ASSERT_GE(v.z, -4.0 / 7 - 1e-6);
        ASSERT_LE(v.z, 6.0 / 7 + 1e-6);
    }
    EXPECT_LE(worst, 0.051);
    EXPECT_GT(worst, 0.0);
}

// ---------------------------------------------------------------------------
// The tables as bytes: a change anywhere changes this.

std::uint64_t fnv1a(std::uint64_t h, std::uint32_t word) {
    for (int b = 0; b < 4; ++b) {
        h ^= (word >> (8 * b)) & 0xffu;
        h *= 0x100000001b3ull;
    }
    return h;
}

TEST(ModelChecksum, TablesArePinned) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (int i = 0; i < builtinModel.triangleCount; ++i) {
        const TriangleRecord& t = builtinModel.triangles[i];
        for (int c = 0; c < 3; ++c) {
            h = fnv1a(h, static_cast<std::uint32_t>(t.vertexIndex[c]));
        }
        for (int c = 0; c < 3; ++c) {
            h = fnv1a(h, static_cast<std::uint32_t>(t.normalIndex[c]));
        }
        for (int c = 0; c < 3; ++c) {
            h = fnv1a(h, static_cast<std::uint32_t>(t.texCoordIndex[c]));
        }
    }
    for (const auto& table : {std::pair{builtinModel.vertices, builtinModel.vertexCount},
                              std::pair{builtinModel.normals, builtinModel.normalCount}}) {
        for (int i = 0; i < table.second; ++i) {
            h = fnv1a(h, std::bit_cast<std::uint32_t>(table.first[i].x));
            h = fnv1a(h, std::bit_cast<std::uint32_t>(table.first[i].y));
            h = fnv1a(h, std::bit_cast<std::uint32_t>(table.first[i].z));
        }
    }
    EXPECT_EQ(h, 0xbd9c4108e1ef9b3aull) << std::hex << "checksum 0x" << h;
}

}  // namespace
