// The generator's pieces: exact arithmetic, tubes, tetrahedron polygonisation,
// the surface walk and the building of the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "model/generator/emit.h"
#include "model/generator/geometry.h"
#include "model/generator/marching_tetrahedra.h"
#include "model/generator/table_builder.h"
#include "model/generator/tubes.h"

namespace {

using namespace morvane::modelgen;

double dot(Vec3d a, Vec3d b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// ---------------------------------------------------------------------------

TEST(ModelGenArithmetic, RoundDivTiesAwayFromZero) {
    EXPECT_EQ(roundDiv(5, 10), 1);
    EXPECT_EQ(roundDiv(-5, 10), -1);
    EXPECT_EQ(roundDiv(4, 10), 0);
    EXPECT_EQ(roundDiv(-4, 10), 0);
    EXPECT_EQ(roundDiv(15, 10), 2);
    EXPECT_EQ(roundDiv(-16, 10), -2);
    EXPECT_EQ(roundDiv(22, 7), 3);
    EXPECT_EQ(roundDiv(-22, 7), -3);
}

TEST(ModelGenArithmetic, RoundingToMillionthsIsSymmetric) {
    for (double v = -1.5; v < 1.5; v += 0.0123456789) {
        EXPECT_EQ(roundToMicro(-v), -roundToMicro(v)) << v;
    }
    EXPECT_EQ(roundToMicro(0.1234564999), 123456);
    EXPECT_EQ(roundToMicro(0.1234565001), 123457);
    EXPECT_EQ(roundToMicro(-4e-7), 0);
}

TEST(ModelGenArithmetic, FloatLiteralsHaveSixDecimalsAndNoNegativeZero) {
    EXPECT_EQ(floatLiteral(0), "0.000000f");
    EXPECT_EQ(floatLiteral(-1), "-0.000001f");
    EXPECT_EQ(floatLiteral(-432658), "-0.432658f");
    EXPECT_EQ(floatLiteral(1428571), "1.428571f");
    EXPECT_EQ(floatLiteral(12000000), "12.000000f");
    EXPECT_EQ(floatLiteral(roundToMicro(-1e-9)), "0.000000f");
}

TEST(ModelGenArithmetic, SeriesTrigonometryMatchesTheLibrary) {
    // The ring angles run up to 288 degrees, about 5.03 radians.
    for (double x = -3.2; x <= 5.1; x += 0.01) {
        EXPECT_NEAR(seriesCos(x), std::cos(x), 1e-14) << x;
        EXPECT_NEAR(seriesSin(x), std::sin(x), 1e-14) << x;
    }
}

TEST(ModelGenArithmetic, UnitFromLargeIntegers) {
    const Int128 big = Int128{1} << 100;
    const Vec3d u = unitFromIntegers(3 * big, -4 * big, 0);
    EXPECT_DOUBLE_EQ(u.x, 0.6);
    EXPECT_DOUBLE_EQ(u.y, -0.8);
    EXPECT_EQ(u.z, 0.0);
    const Vec3d zero = unitFromIntegers(0, 0, 0);
    EXPECT_EQ(zero.x, 0.0);
    EXPECT_EQ(zero.y, 0.0);
    EXPECT_EQ(zero.z, 0.0);
}

// ---------------------------------------------------------------------------

TEST(ModelGenTubes, SixtyTrianglesWithTwoPerFaceSharingTheirNormal) {
    const std::vector<SourceTriangle> tris = tubeTriangles();
    ASSERT_EQ(tris.size(), 60u);
    const Vec3d dirs[3] = {{std::sqrt(0.5), 0, std::sqrt(0.5)}, {0, 1, 0}, {1, 0, 0}};
    std::set<Micro3> normals;
    for (std::size_t i = 0; i < tris.size(); ++i) {
        const Vec3d n = tris[i].normal;
        EXPECT_NEAR(std::sqrt(dot(n, n)), 1.0, 1e-12);
        EXPECT_NEAR(dot(n, dirs[i / 20]), 0.0, 1e-9) << "normal " << i << " leans along its line";
        if (i % 2 == 1) {
            EXPECT_EQ(roundToMicro(n), roundToMicro(tris[i - 1].normal))
                << "the two triangles of face " << i / 2 << " disagree";
        }
        normals.insert(roundToMicro(n));
    }
    EXPECT_EQ(normals.size(), 15u);  // five faces per line, the same in both segments
}

TEST(ModelGenTubes, FaceNormalsPointOutwardBetweenTheirRingVertices) {
    // Face k of a segment faces along the bisector of ring directions k and
    // k + 1, away from the line.
    const std::vector<SourceTriangle> tris = tubeTriangles();
    const Vec3d centres[3] = {{1.0 / 7, 0, 2.0 / 7}, {0, 3.0 / 7, 2.0 / 7}, {1.0 / 7, 0, 0}};
    for (int line = 0; line < 3; ++line) {
        for (int k = 0; k < 5; ++k) {
            const Vec3d a = sub(ringVertex(line, 1, k), centres[line]);
            const Vec3d b = sub(ringVertex(line, 1, k + 1), centres[line]);
            const Vec3d want = unit({a.x + b.x, a.y + b.y, a.z + b.z});
            for (int half = 0; half < 2; ++half) {
                const Vec3d n = tris[20 * line + 2 * k + half].normal;
                EXPECT_NEAR(n.x, want.x, 1e-12) << line << " " << k;
                EXPECT_NEAR(n.y, want.y, 1e-12) << line << " " << k;
                EXPECT_NEAR(n.z, want.z, 1e-12) << line << " " << k;
            }
        }
    }
}

TEST(ModelGenTubes, RingVerticesAtTheTubeRadius) {
    const Vec3d centres[3][3] = {
        {{-4.0 / 7, 0, -3.0 / 7}, {1.0 / 7, 0, 2.0 / 7}, {6.0 / 7, 0, 1}},
        {{0, -4.0 / 7, 2.0 / 7}, {0, 3.0 / 7, 2.0 / 7}, {0, 10.0 / 7, 2.0 / 7}},
        {{-4.0 / 7, 0, 0}, {1.0 / 7, 0, 0}, {6.0 / 7, 0, 0}}};
    for (int line = 0; line < 3; ++line) {
        for (int ring = 0; ring < 3; ++ring) {
            for (int k = 0; k < 5; ++k) {
                const Vec3d d = sub(ringVertex(line, ring, k), centres[line][ring]);
                EXPECT_NEAR(std::sqrt(dot(d, d)), 1.0 / 35, 1e-15);
            }
            // Vertex 5 is vertex 0 again: the ring closes.
            const Vec3d a = ringVertex(line, ring, 0);
            const Vec3d b = ringVertex(line, ring, 5);
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.z, b.z);
        }
    }
}

// ---------------------------------------------------------------------------

TEST(ModelGenLatticeValues, ZeroColumnsTakeTheSideOppositeToY) {
    for (int i = 0; i <= kCellsX; ++i) {
        for (int j = 0; j <= kCellsY; ++j) {
            for (int k = 0; k <= kCellsZ; ++k) {
                const NodeValue v = latticeValue({i, j, k});
                const bool column = (i == 2 && k == 1) || (i == 7 && k == 9);
                EXPECT_EQ(v.f == 0, column) << i << " " << j << " " << k;
                if (column) {
                    const double y = -4.0 / 7 + j * 12.0 / 133;
                    EXPECT_EQ(sideOf(v), y > 0 ? -1 : 1)
                        << "column node " << i << " " << j << " " << k;
                }
            }
        }
    }
}

TEST(ModelGenLatticeValues, SideElsewhereIsTheSignOfF) {
    // f recomputed in double from the coordinates; off the columns |f| is at
    // least 8 / (77 * 133), far beyond rounding.
    for (int i = 0; i <= kCellsX; ++i) {
        for (int j = 0; j <= kCellsY; ++j) {
            for (int k = 0; k <= kCellsZ; ++k) {
                const NodeValue v = latticeValue({i, j, k});
                if (v.f == 0) {
                    continue;
                }
                const double x = -4.0 / 7 + i * 8.0 / 77;
                const double y = -4.0 / 7 + j * 12.0 / 133;
                const double z = -4.0 / 7 + k * 10.0 / 77;
                const double f = y * (2 * x - z + 2.0 / 7);
                ASSERT_GT(std::fabs(f), 1e-4);
                EXPECT_EQ(sideOf(v), f > 0 ? 1 : -1) << i << " " << j << " " << k;
            }
        }
    }
}

// ---------------------------------------------------------------------------

class ModelGenTetrahedron : public ::testing::Test {
protected:
    const Node corner[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    std::vector<SurfaceTriangle> run(const NodeValue (&v)[4]) const {
        std::vector<SurfaceTriangle> out;
        polygoniseTetrahedron(corner, v, out);
        return out;
    }

    // Model-space direction from the negative corners' centroid to the positive ones'.
    Vec3d towardPositive(const NodeValue (&v)[4]) const {
        Vec3d pos{0, 0, 0}, neg{0, 0, 0};
        int np = 0, nn = 0;
        for (int c = 0; c < 4; ++c) {
            const Vec3d p = toModel(exactPoint(corner[c].i, corner[c].j, corner[c].k, 1));
            Vec3d& s = sideOf(v[c]) > 0 ? pos : neg;
            s = {s.x + p.x, s.y + p.y, s.z + p.z};
            (sideOf(v[c]) > 0 ? np : nn) += 1;
        }
        return {pos.x / np - neg.x / nn, pos.y / np - neg.y / nn, pos.z / np - neg.z / nn};
    }
};

TEST_F(ModelGenTetrahedron, AllOnOneSideGivesNothing) {
    EXPECT_TRUE(run({{1, 0}, {2, 0}, {3, 0}, {4, 0}}).empty());
    EXPECT_TRUE(run({{-1, 0}, {-2, 0}, {-3, 0}, {-4, 0}}).empty());
}

TEST_F(ModelGenTetrahedron, OneCornerAloneGivesOneTriangleAtTheInterpolatedPoints) {
    // Corner 0 alone at -1, the others at 2, 3, 4: t = 1/3, 1/4, 1/5.
    const NodeValue v[4] = {{-1, 0}, {2, 0}, {3, 0}, {4, 0}};
    const std::vector<SurfaceTriangle> out = run(v);
    ASSERT_EQ(out.size(), 1u);
    std::set<ExactPoint> got(out[0].corner, out[0].corner + 3);
    const std::set<ExactPoint> want = {exactPoint(1, 0, 0, 3), exactPoint(0, 1, 0, 4),
                                       exactPoint(0, 0, 1, 5)};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(hasArea(out[0]));
    EXPECT_GT(dot(surfaceNormal(out[0]), towardPositive(v)), 0.0);
}

TEST_F(ModelGenTetrahedron, EveryLoneCornerOfEitherSignFacesThePositiveSide) {
    for (int lone = 0; lone < 4; ++lone) {
        for (int sign : {1, -1}) {
            NodeValue v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = {c == lone ? sign * (c + 1) : -sign * (c + 2), 0};
            }
            const std::vector<SurfaceTriangle> out = run(v);
            ASSERT_EQ(out.size(), 1u) << lone << " " << sign;
            EXPECT_GT(dot(surfaceNormal(out[0]), towardPositive(v)), 0.0) << lone << " " << sign;
        }
    }
}

TEST_F(ModelGenTetrahedron, TwoAndTwoGiveAQuadrilateralCutInTwo) {
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            NodeValue v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = {(c == a || c == b) ? 3 : -5, 0};
            }
            const std::vector<SurfaceTriangle> out = run(v);
            ASSERT_EQ(out.size(), 2u);
            std::set<ExactPoint> all;
            int shared = 0;
            for (const auto& p : out[0].corner) {
                all.insert(p);
                shared += static_cast<int>(std::count(out[1].corner, out[1].corner + 3, p));
            }
            all.insert(out[1].corner, out[1].corner + 3);
            EXPECT_EQ(all.size(), 4u) << "the quadrilateral's four corners";
            EXPECT_EQ(shared, 2) << "the two halves meet along one diagonal";
            for (const auto& t : out) {
                EXPECT_TRUE(hasArea(t));
                EXPECT_GT(dot(surfaceNormal(t), towardPositive(v)), 0.0);
            }
        }
    }
}

TEST_F(ModelGenTetrahedron, QuadrilateralWithThreeCornersInLineIsCutWithoutASliver) {
    // Corners A = 0 and B = 2 have f = 0 and opposite sides (as two nodes of
    // a zero column do): their edge gives its midpoint, and edges from them
    // give A and B themselves, so three corners of the quadrilateral are in
    // line. The order below makes the fixed diagonal run from B to A, along
    // that line; the other diagonal must be taken.
    const Node order[4] = {corner[1], corner[0], corner[2], corner[3]};  // C, A, B, D
    const NodeValue v[4] = {{5, 0}, {0, 1}, {0, -1}, {-3, 0}};
    std::vector<SurfaceTriangle> out;
    polygoniseTetrahedron(order, v, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(hasArea(out[0]));
    EXPECT_TRUE(hasArea(out[1]));
    std::set<ExactPoint> all(out[0].corner, out[0].corner + 3);
    all.insert(out[1].corner, out[1].corner + 3);
    const std::set<ExactPoint> want = {exactPoint(0, 0, 0, 1), exactPoint(0, 1, 0, 1),
                                       exactPoint(0, 1, 0, 2), exactPoint(3, 0, 5, 8)};
    EXPECT_EQ(all, want);
}

TEST(ModelGenEdgePoints, DoNotDependOnTheOrderOfTheEnds) {
    for (int i = 0; i < kCellsX; ++i) {
        for (int j = 0; j < kCellsY; ++j) {
            for (int k = 0; k < kCellsZ; ++k) {
                const Node a{i, j, k};
                const Node others[3] = {{i + 1, j, k}, {i, j + 1, k}, {i, j, k + 1}};
                for (const Node& b : others) {
                    const NodeValue va = latticeValue(a);
                    const NodeValue vb = latticeValue(b);
                    if (sideOf(va) == sideOf(vb)) {
                        EXPECT_THROW(edgePoint(a, va, b, vb), std::logic_error);
                        continue;
                    }
                    EXPECT_EQ(edgePoint(a, va, b, vb), edgePoint(b, vb, a, va));
                }
            }
        }
    }
}

TEST(ModelGenEdgePoints, ZeroNodesGiveThemselvesAndColumnEdgesTheirCrossingOfYZero) {
    // (2, 5, 1) lies on the plane; its neighbour (3, 5, 1) does not.
    const Node onPlane{2, 5, 1}, off{3, 5, 1};
    ASSERT_EQ(latticeValue(onPlane).f, 0);
    ASSERT_NE(sideOf(latticeValue(onPlane)), sideOf(latticeValue(off)));
    EXPECT_EQ(edgePoint(onPlane, latticeValue(onPlane), off, latticeValue(off)),
              exactPoint(2, 5, 1, 1));
    // Along the column from j = 6 to j = 7 y changes sign: the point is at y = 0.
    const Node below{2, 6, 1}, above{2, 7, 1};
    const ExactPoint p = edgePoint(below, latticeValue(below), above, latticeValue(above));
    const Micro3 m = toMicro(p);
    EXPECT_EQ(m.y, 0);
    EXPECT_EQ(m, (Micro3{-363636, 0, -441558}));
}

// ---------------------------------------------------------------------------

TEST(ModelGenSurface, NeighbouringCellsShareEdgePositionsExactly) {
    int facesWithSurface = 0;
    for (int i = 0; i < kCellsX; ++i) {
        for (int j = 0; j < kCellsY; ++j) {
            for (int k = 0; k < kCellsZ; ++k) {
                const std::vector<SurfaceTriangle> here = polygoniseCell(i, j, k);
                const int next[3][3] = {{i + 1, j, k}, {i, j + 1, k}, {i, j, k + 1}};
                const int limit[3] = {kCellsX, kCellsY, kCellsZ};
                for (int axis = 0; axis < 3; ++axis) {
                    if (next[axis][axis] >= limit[axis]) {
                        continue;
                    }
                    const std::vector<SurfaceTriangle> there =
                        polygoniseCell(next[axis][0], next[axis][1], next[axis][2]);
                    const std::int64_t plane = next[axis][axis];
                    // The points each cell puts on the lattice edges of the
                    // shared face, by edge.
                    const auto onFace = [&](const std::vector<SurfaceTriangle>& tris) {
                        std::map<std::pair<Node, Node>, std::set<ExactPoint>> s;
                        for (const auto& t : tris) {
                            for (int c = 0; c < 3; ++c) {
                                const Node a = t.edge[c][0];
                                const Node b = t.edge[c][1];
                                const int ca[3] = {a.i, a.j, a.k};
                                const int cb[3] = {b.i, b.j, b.k};
                                if (ca[axis] == plane && cb[axis] == plane) {
                                    s[{a, b}].insert(t.corner[c]);
                                }
                            }
                        }
                        return s;
                    };
                    const auto a = onFace(here);
                    EXPECT_EQ(a, onFace(there))
                        << "cell " << i << " " << j << " " << k << " axis " << axis;
                    for (const auto& [edge, points] : a) {
                        EXPECT_EQ(points.size(), 1u) << "one point per edge";
                    }
                    facesWithSurface += a.empty() ? 0 : 1;
                }
            }
        }
    }
    EXPECT_GT(facesWithSurface, 400);
}

bool onBoxFace(Node a, Node b, Node c, Node d) {
    const Node n[4] = {a, b, c, d};
    const auto all = [&](auto pred) { return std::all_of(n, n + 4, pred); };
    return all([](Node p) { return p.i == 0; }) || all([](Node p) { return p.i == kCellsX; }) ||
           all([](Node p) { return p.j == 0; }) || all([](Node p) { return p.j == kCellsY; }) ||
           all([](Node p) { return p.k == 0; }) || all([](Node p) { return p.k == kCellsZ; });
}

TEST(ModelGenSurface, EveryInnerEdgeHasTwoTriangles) {
    // A triangle side is named by the two lattice edges its ends lie on. Inside
    // the box each side belongs to exactly two triangles (no cracks, no
    // overlaps); only sides on the box faces have one.
    using Edge = std::pair<Node, Node>;
    std::map<std::pair<Edge, Edge>, int> sides;
    const SurfaceWalk walk = walkSurface();
    for (const auto& t : walk.triangles) {
        for (int c = 0; c < 3; ++c) {
            Edge e0{t.edge[c][0], t.edge[c][1]};
            Edge e1{t.edge[(c + 1) % 3][0], t.edge[(c + 1) % 3][1]};
            if (e1 < e0) {
                std::swap(e0, e1);
            }
            ++sides[{e0, e1}];
        }
    }
    int boundary = 0;
    for (const auto& [side, count] : sides) {
        const auto& [e0, e1] = side;
        if (count == 1) {
            EXPECT_TRUE(onBoxFace(e0.first, e0.second, e1.first, e1.second));
            ++boundary;
        } else {
            EXPECT_EQ(count, 2);
        }
    }
    EXPECT_GT(boundary, 0);
}

TEST(ModelGenSurface, VerticesOnLinearEdgesLieExactlyOnAPlane) {
    // f is linear along axis edges and along face diagonals at constant y,
    // so linear interpolation lands exactly on y = 0 or 2x - z + 2/7 = 0.
    int checked = 0;
    for (const auto& t : walkSurface().triangles) {
        for (int c = 0; c < 3; ++c) {
            const Node a = t.edge[c][0];
            const Node b = t.edge[c][1];
            const int differ = (a.i != b.i) + (a.j != b.j) + (a.k != b.k);
            if (differ != 1 && !(differ == 2 && a.j == b.j)) {
                continue;
            }
            const ExactPoint& p = t.corner[c];
            // 133 y and 77 (2x - z + 2/7), times den.
            const std::int64_t y = -76 * p.den + 12 * p.num[1];
            const std::int64_t g = 16 * p.num[0] - 10 * p.num[2] - 22 * p.den;
            EXPECT_TRUE(y == 0 || g == 0);
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(ModelGenSurface, TrianglesWithoutAreaHaveTwoEqualCorners) {
    for (const auto& t : walkSurface().triangles) {
        if (!hasArea(t)) {
            EXPECT_TRUE(t.corner[0] == t.corner[1] || t.corner[1] == t.corner[2] ||
                        t.corner[0] == t.corner[2]);
        }
    }
}

TEST(ModelGenSurface, WalkFollowsTheSurfaceFromTheLowEdge) {
    const SurfaceWalk walk = walkSurface();
    EXPECT_EQ(walk.seeds, 1);
    ASSERT_FALSE(walk.cells.empty());
    EXPECT_EQ(walk.cells.front(), (Node{1, 0, 0}));
    EXPECT_TRUE(polygoniseCell(0, 0, 0).empty());

    std::set<Node> seen;
    std::size_t triangles = 0;
    for (const Node& c : walk.cells) {
        EXPECT_TRUE(seen.insert(c).second) << "cell visited twice";
        if (seen.size() > 1) {
            const Node n[6] = {{c.i - 1, c.j, c.k}, {c.i + 1, c.j, c.k}, {c.i, c.j - 1, c.k},
                               {c.i, c.j + 1, c.k}, {c.i, c.j, c.k - 1}, {c.i, c.j, c.k + 1}};
            EXPECT_TRUE(std::any_of(n, n + 6, [&](Node m) { return seen.count(m) == 1; }))
                << "cell reached without a visited neighbour";
        }
        triangles += polygoniseCell(c.i, c.j, c.k).size();
    }
    std::size_t cellsWithSurface = 0;
    for (int i = 0; i < kCellsX; ++i) {
        for (int j = 0; j < kCellsY; ++j) {
            for (int k = 0; k < kCellsZ; ++k) {
                cellsWithSurface += polygoniseCell(i, j, k).empty() ? 0 : 1;
            }
        }
    }
    EXPECT_EQ(walk.cells.size(), cellsWithSurface);
    EXPECT_EQ(walk.triangles.size(), triangles);
}

TEST(ModelGenSurface, FirstTriangleAndCounts) {
    const SurfaceWalk walk = walkSurface();
    ASSERT_FALSE(walk.triangles.empty());
    const SourceTriangle first = toSource(walk.triangles.front());
    EXPECT_EQ(first.corner[0], (Micro3{-432658, -511489, -571429}));
    EXPECT_EQ(first.corner[1], (Micro3{-428571, -571429, -571429}));
    EXPECT_EQ(first.corner[2], (Micro3{-403596, -571429, -521479}));
    EXPECT_EQ(roundToMicro(first.normal), (Micro3{-892769, -60871, 446384}));

    const auto withArea = std::count_if(walk.triangles.begin(), walk.triangles.end(),
                                        [](const SurfaceTriangle& t) { return hasArea(t); });
    EXPECT_EQ(withArea, 3228);
    EXPECT_EQ(walk.triangles.size(), 3604u);
}

// ---------------------------------------------------------------------------

TEST(ModelGenTables, GroupOfFourForATriangleWithArea) {
    const Micro3 p{0, 0, 0}, q{1000000, 0, 0}, r{0, 1000000, 0};
    ModelTables t;
    addSourceTriangle(t, {{p, q, r}, {0, 0, 1}});
    ASSERT_EQ(t.records.size(), 4u);
    const std::vector<Micro3> corners = {p, q, r, p, r, p, r, q, p, p, r, p};
    EXPECT_EQ(t.vertices, corners);
    const std::vector<Micro3> normals = {{0, 0, 1000000}, {0, 0, 0}, {0, 0, -1000000}};
    EXPECT_EQ(t.normals, normals);
    const int expectNormal[4] = {0, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(t.records[i].vertex[c], 3 * i + c);
            EXPECT_EQ(t.records[i].normal[c], expectNormal[i]);
        }
    }
}

TEST(ModelGenTables, ZeroAreaSurfaceTriangleGivesAnAllZeroGroup) {
    const SurfaceWalk walk = walkSurface();
    const auto it = std::find_if(walk.triangles.begin(), walk.triangles.end(),
                                 [](const SurfaceTriangle& t) { return !hasArea(t); });
    ASSERT_NE(it, walk.triangles.end());
    const SourceTriangle s = toSource(*it);
    EXPECT_EQ(s.normal.x, 0.0);
    EXPECT_EQ(s.normal.y, 0.0);
    EXPECT_EQ(s.normal.z, 0.0);

    ModelTables t;
    addSourceTriangle(t, {{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {1, 0, 0}});  // takes entries 0..2
    addSourceTriangle(t, s);
    ASSERT_EQ(t.records.size(), 8u);
    for (int i = 4; i < 8; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(t.records[i].normal[c], 1) << "record " << i;
        }
    }
    EXPECT_EQ(t.normals.size(), 3u);
    // The corners keep the pattern (P, Q, R), (P, R, P), (R, Q, P), (P, R, P).
    const Micro3 p = s.corner[0], q = s.corner[1], r = s.corner[2];
    const std::vector<Micro3> corners(t.vertices.begin() + 12, t.vertices.end());
    EXPECT_EQ(corners, (std::vector<Micro3>{p, q, r, p, r, p, r, q, p, p, r, p}));
}

TEST(ModelGenTables, NormalsAreLookedUpByTheirRoundedValue) {
    const Micro3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
    ModelTables t;
    addSourceTriangle(t, {{a, b, c}, {0.6, 0.8, 0.0}});
    addSourceTriangle(t, {{a, b, c}, {0.6000001, 0.7999999, 0.0}});  // same after rounding
    addSourceTriangle(t, {{a, b, c}, {0.0, -1.0, -1e-9}});           // new, and no -0
    const std::vector<Micro3> normals = {
        {600000, 800000, 0}, {0, 0, 0}, {-600000, -800000, 0}, {0, -1000000, 0}, {0, 1000000, 0}};
    EXPECT_EQ(t.normals, normals);
    EXPECT_EQ(t.records[4].normal[0], 0);
    EXPECT_EQ(t.records[6].normal[0], 2);
    EXPECT_EQ(t.records[8].normal[0], 3);
    EXPECT_EQ(t.records[10].normal[0], 4);
}

TEST(ModelGenTables, EmittedSourceHoldsTheTablesAndNoNegativeZero) {
    ModelTables t;
    addSourceTriangle(t, {{{-1, 0, 0}, {2, 0, 0}, {0, 3, 0}}, {0.0, -1e-9, 1.0}});
    std::ostringstream out;
    emitSource(out, t);
    const std::string text = out.str();
    EXPECT_NE(text.find("constinit const TriangleRecord modelTriangles[4]"), std::string::npos);
    EXPECT_NE(text.find("constinit const Vec3 modelVertices[12]"), std::string::npos);
    EXPECT_NE(text.find("constinit const Vec3 modelNormals[3]"), std::string::npos);
    EXPECT_NE(text.find("{-0.000001f, 0.000000f, 0.000000f}"), std::string::npos);
    EXPECT_NE(text.find("{0.000000f, 0.000000f, -1.000000f}"), std::string::npos);
    EXPECT_EQ(text.find("-0.000000"), std::string::npos);
    EXPECT_NE(text.find("{{9, 10, 11}, {1, 1, 1}, {-1, -1, -1}}"), std::string::npos);
}

}  // namespace
