#include "model/generator/marching_tetrahedra.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace morvane::modelgen {

NodeValue latticeValue(Node n) {
    const std::int64_t y = 12 * n.j - 76;
    const std::int64_t g = 16 * n.i - 10 * n.k - 22;
    // f = y (g - e) = y g - e y.
    return {y * g, -y};
}

int sideOf(NodeValue v) {
    if (v.f != 0) {
        return v.f > 0 ? 1 : -1;
    }
    if (v.tie == 0) {
        throw std::logic_error("node value without a side");
    }
    return v.tie > 0 ? 1 : -1;
}

ExactPoint exactPoint(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t den) {
    if (den == 0) {
        throw std::logic_error("point with zero denominator");
    }
    if (den < 0) {
        x = -x;
        y = -y;
        z = -z;
        den = -den;
    }
    const std::int64_t g = std::gcd(std::gcd(x, y), std::gcd(z, den));
    return {{x / g, y / g, z / g}, den / g};
}

ExactPoint edgePoint(Node a, NodeValue va, Node b, NodeValue vb) {
    if (sideOf(va) == sideOf(vb)) {
        throw std::logic_error("edge point on an edge that does not cross the surface");
    }
    if (b < a) {
        std::swap(a, b);
        std::swap(va, vb);
    }
    // a + t (b - a) = (wa b - wb a) / (wa - wb), with t = wa / (wa - wb). The
    // weights are the values of f, or, where f is zero at both ends, the
    // coefficients of e, which is what the quotient tends to as e -> 0.
    const bool useTie = va.f == vb.f;
    const std::int64_t wa = useTie ? va.tie : va.f;
    const std::int64_t wb = useTie ? vb.tie : vb.f;
    return exactPoint(wa * b.i - wb * a.i, wa * b.j - wb * a.j, wa * b.k - wb * a.k, wa - wb);
}

Micro3 toMicro(ExactPoint p) {
    const std::int64_t d = p.den;
    return {roundDiv(kMicro * (-44 * d + 8 * p.num[0]), 77 * d),
            roundDiv(kMicro * (-76 * d + 12 * p.num[1]), 133 * d),
            roundDiv(kMicro * (-44 * d + 10 * p.num[2]), 77 * d)};
}

Vec3d toModel(ExactPoint p) {
    const double d = static_cast<double>(p.den);
    return {static_cast<double>(-44 * p.den + 8 * p.num[0]) / (77.0 * d),
            static_cast<double>(-76 * p.den + 12 * p.num[1]) / (133.0 * d),
            static_cast<double>(-44 * p.den + 10 * p.num[2]) / (77.0 * d)};
}

namespace {

struct Int128Vec {
    Int128 x, y, z;
};

// (Q - P) x (R - P) in lattice units, times the positive P.den^2 Q.den R.den.
Int128Vec scaledCross(const SurfaceTriangle& t) {
    const ExactPoint& p = t.corner[0];
    const ExactPoint& q = t.corner[1];
    const ExactPoint& r = t.corner[2];
    Int128 u[3];
    Int128 v[3];
    for (int c = 0; c < 3; ++c) {
        u[c] = Int128{q.num[c]} * p.den - Int128{p.num[c]} * q.den;
        v[c] = Int128{r.num[c]} * p.den - Int128{p.num[c]} * r.den;
    }
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

}  // namespace

bool hasArea(const SurfaceTriangle& t) {
    const Int128Vec c = scaledCross(t);
    return c.x != 0 || c.y != 0 || c.z != 0;
}

Vec3d surfaceNormal(const SurfaceTriangle& t) {
    const Int128Vec c = scaledCross(t);
    // Lattice steps are 8/77, 12/133 and 10/77; a cross product of model
    // vectors is the lattice one scaled by (sy sz, sx sz, sx sy), which is
    // (1155, 1330, 924) times a common positive factor.
    return unitFromIntegers(c.x * 1155, c.y * 1330, c.z * 924);
}

SourceTriangle toSource(const SurfaceTriangle& t) {
    SourceTriangle s;
    for (int c = 0; c < 3; ++c) {
        s.corner[c] = toMicro(t.corner[c]);
    }
    s.normal = surfaceNormal(t);
    return s;
}

namespace {

struct Int3 {
    std::int64_t x, y, z;
};

Int3 operator-(Int3 a, Int3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Int3 crossInt(Int3 a, Int3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

std::int64_t dotInt(Int3 a, Int3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Int3 asInt(Node n) {
    return {n.i, n.j, n.k};
}

// A triangle of a tetrahedron, as the pairs of corners its vertices lie on.
struct EdgeTriangle {
    int edge[3][2];
};

SurfaceTriangle makeTriangle(const Node corner[4], const NodeValue value[4], EdgeTriangle e,
                             const int side[4]) {
    // Winding: look at the triangle through the edges' midpoints, where it
    // always has area, and compare its normal with the direction from the
    // negative corners' centroid to the positive ones'.
    Int3 mid[3];
    for (int c = 0; c < 3; ++c) {
        mid[c] = {corner[e.edge[c][0]].i + corner[e.edge[c][1]].i,
                  corner[e.edge[c][0]].j + corner[e.edge[c][1]].j,
                  corner[e.edge[c][0]].k + corner[e.edge[c][1]].k};
    }
    Int3 sumPos{0, 0, 0};
    Int3 sumNeg{0, 0, 0};
    std::int64_t nPos = 0;
    std::int64_t nNeg = 0;
    for (int c = 0; c < 4; ++c) {
        const Int3 p = asInt(corner[c]);
        Int3& sum = side[c] > 0 ? sumPos : sumNeg;
        sum = {sum.x + p.x, sum.y + p.y, sum.z + p.z};
        (side[c] > 0 ? nPos : nNeg) += 1;
    }
    const Int3 towardPositive = {nNeg * sumPos.x - nPos * sumNeg.x,
                                 nNeg * sumPos.y - nPos * sumNeg.y,
                                 nNeg * sumPos.z - nPos * sumNeg.z};
    const std::int64_t facing = dotInt(crossInt(mid[1] - mid[0], mid[2] - mid[0]), towardPositive);
    if (facing == 0) {
        throw std::logic_error("degenerate tetrahedron");
    }
    if (facing < 0) {
        std::swap(e.edge[0], e.edge[1]);
    }

    SurfaceTriangle t;
    for (int c = 0; c < 3; ++c) {
        const int a = e.edge[c][0];
        const int b = e.edge[c][1];
        t.corner[c] = edgePoint(corner[a], value[a], corner[b], value[b]);
        t.edge[c][0] = std::min(corner[a], corner[b]);
        t.edge[c][1] = std::max(corner[a], corner[b]);
    }
    return t;
}

}  // namespace

void polygoniseTetrahedron(const Node corner[4], const NodeValue value[4],
                           std::vector<SurfaceTriangle>& out) {
    int side[4];
    int pos[4];
    int neg[4];
    int nPos = 0;
    int nNeg = 0;
    for (int c = 0; c < 4; ++c) {
        side[c] = sideOf(value[c]);
        if (side[c] > 0) {
            pos[nPos++] = c;
        } else {
            neg[nNeg++] = c;
        }
    }
    if (nPos == 0 || nNeg == 0) {
        return;
    }
    if (nPos == 2) {
        // The quadrilateral p1n1, p1n2, p2n2, p2n1, cut along p1n1 - p2n2,
        // unless that leaves a triangle without area where the other diagonal
        // would not. That happens where three of the corners are distinct but
        // in line (on a zero column): the fixed cut would give a sliver and a
        // triangle with a vertex in the middle of its edge, while the other
        // gives two proper triangles that meet their neighbours vertex to
        // vertex. The diagonal runs inside the tetrahedron, so neighbours are
        // not affected by the choice.
        const int p1 = pos[0], p2 = pos[1], n1 = neg[0], n2 = neg[1];
        const SurfaceTriangle a0 =
            makeTriangle(corner, value, {{{p1, n1}, {p1, n2}, {p2, n2}}}, side);
        const SurfaceTriangle a1 =
            makeTriangle(corner, value, {{{p1, n1}, {p2, n2}, {p2, n1}}}, side);
        const SurfaceTriangle b0 =
            makeTriangle(corner, value, {{{p1, n2}, {p2, n2}, {p2, n1}}}, side);
        const SurfaceTriangle b1 =
            makeTriangle(corner, value, {{{p1, n2}, {p2, n1}, {p1, n1}}}, side);
        const int zeroA = (hasArea(a0) ? 0 : 1) + (hasArea(a1) ? 0 : 1);
        const int zeroB = (hasArea(b0) ? 0 : 1) + (hasArea(b1) ? 0 : 1);
        if (zeroB < zeroA) {
            out.push_back(b0);
            out.push_back(b1);
        } else {
            out.push_back(a0);
            out.push_back(a1);
        }
        return;
    }
    const int lone = nPos == 1 ? pos[0] : neg[0];
    EdgeTriangle e{};
    int n = 0;
    for (int c = 0; c < 4; ++c) {
        if (c != lone) {
            e.edge[n][0] = lone;
            e.edge[n][1] = c;
            ++n;
        }
    }
    out.push_back(makeTriangle(corner, value, e, side));
}

namespace {

// The six tetrahedra of a cell; corner abc is node (i + a, j + b, k + c).
constexpr int kTetrahedra[6][4] = {
    {0b000, 0b010, 0b100, 0b001}, {0b110, 0b010, 0b001, 0b100}, {0b110, 0b010, 0b011, 0b001},
    {0b110, 0b100, 0b001, 0b101}, {0b110, 0b001, 0b011, 0b101}, {0b110, 0b011, 0b111, 0b101},
};

Node cellCorner(int i, int j, int k, int abc) {
    return {i + ((abc >> 2) & 1), j + ((abc >> 1) & 1), k + (abc & 1)};
}

}  // namespace

std::vector<SurfaceTriangle> polygoniseCell(int i, int j, int k) {
    std::vector<SurfaceTriangle> out;
    for (const auto& tet : kTetrahedra) {
        Node corner[4];
        NodeValue value[4];
        for (int c = 0; c < 4; ++c) {
            corner[c] = cellCorner(i, j, k, tet[c]);
            value[c] = latticeValue(corner[c]);
        }
        polygoniseTetrahedron(corner, value, out);
    }
    return out;
}

SurfaceWalk walkSurface() {
    const auto cellIndex = [](Node c) { return (c.k * kCellsY + c.j) * kCellsX + c.i; };
    std::vector<std::vector<SurfaceTriangle>> cellTriangles(kCellsX * kCellsY * kCellsZ);
    for (int k = 0; k < kCellsZ; ++k) {
        for (int j = 0; j < kCellsY; ++j) {
            for (int i = 0; i < kCellsX; ++i) {
                cellTriangles[cellIndex({i, j, k})] = polygoniseCell(i, j, k);
            }
        }
    }
    const auto hasSurface = [&](Node c) { return !cellTriangles[cellIndex(c)].empty(); };

    SurfaceWalk walk;
    std::vector<bool> queued(cellTriangles.size(), false);
    const auto walkFrom = [&](Node seed) {
        ++walk.seeds;
        std::deque<Node> queue{seed};
        queued[cellIndex(seed)] = true;
        while (!queue.empty()) {
            const Node c = queue.front();
            queue.pop_front();
            walk.cells.push_back(c);
            const auto& tris = cellTriangles[cellIndex(c)];
            walk.triangles.insert(walk.triangles.end(), tris.begin(), tris.end());
            const Node neighbours[6] = {{c.i - 1, c.j, c.k}, {c.i + 1, c.j, c.k},
                                        {c.i, c.j - 1, c.k}, {c.i, c.j + 1, c.k},
                                        {c.i, c.j, c.k - 1}, {c.i, c.j, c.k + 1}};
            for (const Node& n : neighbours) {
                if (n.i < 0 || n.i >= kCellsX || n.j < 0 || n.j >= kCellsY || n.k < 0 ||
                    n.k >= kCellsZ) {
                    continue;
                }
                if (!queued[cellIndex(n)] && hasSurface(n)) {
                    queued[cellIndex(n)] = true;
                    queue.push_back(n);
                }
            }
        }
    };

    for (int i = 0; i < kCellsX; ++i) {
        if (hasSurface({i, 0, 0})) {
            walkFrom({i, 0, 0});
            break;
        }
    }
    for (int k = 0; k < kCellsZ; ++k) {
        for (int j = 0; j < kCellsY; ++j) {
            for (int i = 0; i < kCellsX; ++i) {
                if (!queued[cellIndex({i, j, k})] && hasSurface({i, j, k})) {
                    walkFrom({i, j, k});
                }
            }
        }
    }
    return walk;
}

}  // namespace morvane::modelgen
