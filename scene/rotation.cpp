#include "scene/rotation.h"

#include <cmath>
#include <numbers>

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

double orthonormalityError(const float matrix[16]) {
    const Column c[3] = {columnOf(matrix, 0), columnOf(matrix, 1), columnOf(matrix, 2)};
    double worst = 0.0;
    for (int i = 0; i < 3; ++i) {
        worst = std::fmax(worst, std::fabs(std::sqrt(dot(c[i], c[i])) - 1.0));
        for (int j = i + 1; j < 3; ++j) {
            worst = std::fmax(worst, std::fabs(dot(c[i], c[j])));
        }
    }
    return worst;
}

void rotationMatrix(float angle, const Vec3& axis, float out[16]) {
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    const float x = axis.x / length, y = axis.y / length, z = axis.z / length;
    const float radians = angle * static_cast<float>(std::numbers::pi / 180.0);
    const float s = std::sin(radians), c = std::cos(radians), t = 1.0f - c;
    const float m[16] = {x * x * t + c,
                         y * x * t + z * s,
                         x * z * t - y * s,
                         0.0f,
                         x * y * t - z * s,
                         y * y * t + c,
                         y * z * t + x * s,
                         0.0f,
                         x * z * t + y * s,
                         y * z * t - x * s,
                         z * z * t + c,
                         0.0f,
                         0.0f,
                         0.0f,
                         0.0f,
                         1.0f};
    for (int i = 0; i < 16; ++i) {
        out[i] = m[i];
    }
}

void multiplyMatrices(const float a[16], const float b[16], float out[16]) {
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[4 * k + row] * b[4 * column + k];
            }
            out[4 * column + row] = sum;
        }
    }
}
