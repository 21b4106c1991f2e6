// The three lines of the model, each drawn as an open pentagonal tube.
#pragma once

#include <vector>

#include "model/generator/source_triangle.h"

namespace morvane::modelgen {

// pi as used for the ring angles. 3.14159 rather than the true value: with it
// the first face normal comes out as 0.572062 in x and -z, as in the model
// this one is regenerated from; true pi gives 0.572061. No other stored
// digit of the tubes depends on the choice.
inline constexpr double kRingPi = 3.14159;

// Tube radius, 1/35.
inline constexpr double kTubeRadius = 1.0 / 35.0;

// Vertex k (0..4) of the ring of `line` (0..2) around ring centre `ring`
// (0 start, 1 midpoint, 2 end), unrounded.
Vec3d ringVertex(int line, int ring, int k);

// The 60 source triangles of the tubes in drawing order: line 1, 2, 3; in each
// line the segment midpoint-to-end, then start-to-midpoint; side faces k = 0..4,
// two triangles each.
std::vector<SourceTriangle> tubeTriangles();

}  // namespace morvane::modelgen
