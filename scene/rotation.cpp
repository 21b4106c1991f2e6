#include "scene/rotation.h"

#include <cmath>

namespace {

struct Column {
    double x, y, z;
};

Column columnOf(const float matrix[16], int index) {
    const float* c = matrix + 4 * index;
    return {c[0], c[1], c[2]};
}

double dot(const Column& a, const Column& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Column minusProjection(const Column& c, const Column& onto) {
    const double d = dot(c, onto);
    return {c.x - d * onto.x, c.y - d * onto.y, c.z - d * onto.z};
}

// False for a zero or non-finite column, which has no direction to keep.
bool normalise(Column& c) {
    const double length = std::sqrt(dot(c, c));
    if (!(length > 0.0) || !std::isfinite(length)) {
        return false;
    }
    c = {c.x / length, c.y / length, c.z / length};
    return true;
}

void storeColumn(float matrix[16], int index, const Column& c) {
    float* out = matrix + 4 * index;
    out[0] = static_cast<float>(c.x);
    out[1] = static_cast<float>(c.y);
    out[2] = static_cast<float>(c.z);
}

}  // namespace

bool spinTurns(float angle, const Vec3& axis) {
    if (angle == 0.0f || !std::isfinite(angle)) {
        return false;
    }
    if (!std::isfinite(axis.x) || !std::isfinite(axis.y) || !std::isfinite(axis.z)) {
        return false;
    }
    // In double, so that a tiny but non-zero axis is not squared to zero.
    const double x = axis.x, y = axis.y, z = axis.z;
    return x * x + y * y + z * z > 0.0;
}

bool reorthonormalise(float matrix[16]) {
    Column c0 = columnOf(matrix, 0);
    if (!normalise(c0)) {
        return false;
    }
    Column c1 = minusProjection(columnOf(matrix, 1), c0);
    if (!normalise(c1)) {
        return false;
    }
    Column c2 = minusProjection(minusProjection(columnOf(matrix, 2), c0), c1);
    if (!normalise(c2)) {
        return false;
    }
    storeColumn(matrix, 0, c0);
    storeColumn(matrix, 1, c1);
    storeColumn(matrix, 2, c2);
    return true;
}
