// A triangle of the content rule before it becomes a group of four records.
#pragma once

#include "model/generator/geometry.h"

namespace morvane::modelgen {

struct SourceTriangle {
    Micro3 corner[3];  // positions already rounded to six decimals
    Vec3d normal;      // unit normal of the unrounded triangle; zero when it has no area
};

}  // namespace morvane::modelgen
