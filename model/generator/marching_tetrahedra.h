// The surface f(x, y, z) = y (2x - z + 2/7) = 0, polygonised by marching
// tetrahedra over the lattice, with exact integer arithmetic throughout.
#pragma once

#include <compare>
#include <cstdint>
#include <vector>

#include "model/generator/source_triangle.h"

namespace morvane::modelgen {

// Cells of the lattice along x, y and z; nodes are one more in each direction.
inline constexpr int kCellsX = 11;
inline constexpr int kCellsY = 19;
inline constexpr int kCellsZ = 11;

// A lattice node by its indices; node (i, j, k) is at
// x = -4/7 + 8i/77, y = -4/7 + 12j/133, z = -4/7 + 10k/77.
struct Node {
    int i, j, k;
    friend bool operator==(const Node&, const Node&) = default;
    friend auto operator<=>(const Node&, const Node&) = default;
};

// The value of f at a node, as f + e * tie for an infinitesimal e > 0.
//
// With y = Y/133 and 2x - z + 2/7 = G/77 (Y = 12j - 76, G = 16i - 10k - 22),
// 77 * 133 * f = Y * G exactly. Y is never zero on the lattice, but G is at
// the node columns (i, k) = (2, 1) and (7, 9), which lie exactly on the
// plane. There f = 0 carries no side, so we evaluate the plane term as
// G - e: a node on the plane counts as lying just on its negative side,
// which puts it on the side of f opposite to the sign of y. Everywhere else
// the infinitesimal changes nothing.
struct NodeValue {
    std::int64_t f;
    std::int64_t tie;
};

NodeValue latticeValue(Node n);

// +1 or -1: which side of the surface the node is on. Never zero.
int sideOf(NodeValue v);

// A point in lattice index units, num / den with den > 0 and the fraction
// reduced, so two points are equal exactly when their fields are.
struct ExactPoint {
    std::int64_t num[3];
    std::int64_t den;
    friend bool operator==(const ExactPoint&, const ExactPoint&) = default;
    friend auto operator<=>(const ExactPoint&, const ExactPoint&) = default;
};

ExactPoint exactPoint(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t den);

// The surface vertex on the edge from a to b, whose ends lie on opposite
// sides: a + t (b - a) with t = fa / (fa - fb), taken in the limit e -> 0.
// So a node with f = 0 gives the node itself, and an edge between two such
// nodes (along y within a column) gives its point with y = 0. The result
// does not depend on the order of a and b.
ExactPoint edgePoint(Node a, NodeValue va, Node b, NodeValue vb);

// Model coordinates of a point: exactly rounded to six decimals, or as double.
Micro3 toMicro(ExactPoint p);
Vec3d toModel(ExactPoint p);

struct SurfaceTriangle {
    ExactPoint corner[3];
    Node edge[3][2];  // the lattice edge each corner lies on, ends in ascending order
};

// Exact: does the unrounded triangle enclose any area?
bool hasArea(const SurfaceTriangle& t);

// Unit normal of the unrounded triangle in model space; zero without area.
Vec3d surfaceNormal(const SurfaceTriangle& t);

SourceTriangle toSource(const SurfaceTriangle& t);

// Polygonises one tetrahedron: appends no triangle, one (one corner alone
// on its side) or two (two on each side: the quadrilateral cut along one
// diagonal). Each triangle is wound so that its normal points to the
// positive side of f: its corners follow the tetrahedron's order, with the
// first two exchanged where that order faces the other way. The side is
// decided on the combinatorial shape alone, so triangles of zero area are
// wound by the same rule.
void polygoniseTetrahedron(const Node corner[4], const NodeValue value[4],
                           std::vector<SurfaceTriangle>& out);

// The six tetrahedra of cell (i, j, k), in order, over the lattice values.
std::vector<SurfaceTriangle> polygoniseCell(int i, int j, int k);

struct SurfaceWalk {
    std::vector<SurfaceTriangle> triangles;
    std::vector<Node> cells;  // cells with surface, in the order visited
    int seeds = 0;            // walks started; 1 when the surface is one piece
};

// All surface triangles, following the surface: a breadth-first walk over
// the cells that contain surface, from neighbour to neighbour (faces in the
// order -x, +x, -y, +y, -z, +z), starting at the first such cell, by
// increasing i, on the lattice edge j = 0, k = 0 where y and z are least.
// Cells not reached by then start walks of their own, in lattice order.
SurfaceWalk walkSurface();

}  // namespace morvane::modelgen
