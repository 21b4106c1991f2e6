// Matrix maths the tests and benchmarks check the spin step with; the
// program itself lets OpenGL form its rotations. Matrices are 4x4,
// column-major.
#pragma once

#include <cmath>
#include <numbers>

#include "model/surface_model.h"

// Largest deviation of the upper 3x3's columns from unit length and from
// mutual orthogonality (absolute values of the dot products), in double.
inline double orthonormalityError(const float matrix[16]) {
    auto dot = [matrix](int a, int b) {
        double sum = 0.0;
        for (int row = 0; row < 3; ++row) {
            sum += static_cast<double>(matrix[4 * a + row]) * matrix[4 * b + row];
        }
        return sum;
    };
    double worst = 0.0;
    for (int i = 0; i < 3; ++i) {
        worst = std::fmax(worst, std::fabs(std::sqrt(dot(i, i)) - 1.0));
        for (int j = i + 1; j < 3; ++j) {
            worst = std::fmax(worst, std::fabs(dot(i, j)));
        }
    }
    return worst;
}

// The rotation that glRotatef multiplies by: angle degrees counter-clockwise
// about axis normalised to unit length. axis must not be zero.
inline void rotationMatrix(float angle, const Vec3& axis, float out[16]) {
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

// out = a * b, in single precision as OpenGL forms it; out may alias neither.
inline void multiplyMatrices(const float a[16], const float b[16], float out[16]) {
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
