#include "platform/web/gl/fixed_function.h"

#include <algorithm>
#include <cmath>

namespace {

float dot3(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

std::array<float, 3> unit(std::array<float, 3> v) {
    const float length = std::sqrt(dot3(v, v));
    if (length == 0) {
        return v;
    }
    return {v[0] / length, v[1] / length, v[2] / length};
}

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

}  // namespace

Matrix4 identityMatrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix4 multiply(const Matrix4& left, const Matrix4& right) {
    Matrix4 product{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += left[k * 4 + row] * right[column * 4 + k];
            }
            product[column * 4 + row] = sum;
        }
    }
    return product;
}

Matrix4 rotationAbout(float degrees, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) {
        return identityMatrix();
    }
    x /= length;
    y /= length;
    z /= length;
    const double radians = degrees * 3.14159265358979323846 / 180.0;
    const auto s = static_cast<float>(std::sin(radians));
    const auto c = static_cast<float>(std::cos(radians));
    const float t = 1 - c;
    return {t * x * x + c,
            t * x * y + s * z,
            t * x * z - s * y,
            0,
            t * x * y - s * z,
            t * y * y + c,
            t * y * z + s * x,
            0,
            t * x * z + s * y,
            t * y * z - s * x,
            t * z * z + c,
            0,
            0,
            0,
            0,
            1};
}

Matrix4 orthographic(double left, double right, double bottom, double top, double nearZ,
                     double farZ) {
    Matrix4 m{};
    m[0] = static_cast<float>(2 / (right - left));
    m[5] = static_cast<float>(2 / (top - bottom));
    m[10] = static_cast<float>(-2 / (farZ - nearZ));
    m[12] = static_cast<float>(-(right + left) / (right - left));
    m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
    m[14] = static_cast<float>(-(farZ + nearZ) / (farZ - nearZ));
    m[15] = 1;
    return m;
}

std::array<float, 4> transformPoint(const Matrix4& m, const std::array<float, 4>& p) {
    std::array<float, 4> out{};
    for (int row = 0; row < 4; ++row) {
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row] * p[3];
    }
    return out;
}

std::array<float, 9> normalMatrix(const Matrix4& m) {
    // a(r, c): row r, column c of the upper 3x3.
    auto a = [&](int r, int c) { return m[c * 4 + r]; };
    // The cofactor matrix over the determinant is the inverse transpose.
    std::array<float, 9> cofactor{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cofactor[r * 3 + c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    }
    const float determinant = a(0, 0) * cofactor[0] + a(0, 1) * cofactor[1] + a(0, 2) * cofactor[2];
    if (determinant != 0) {
        for (float& value : cofactor) {
            value /= determinant;
        }
    }
    return cofactor;
}

Lighting defaultLighting() {
    Lighting lighting;
    lighting.lights[0].diffuse = {1, 1, 1, 1};
    lighting.lights[0].specular = {1, 1, 1, 1};
    return lighting;
}

EnabledLights enabledLights(const Lighting& lighting) {
    EnabledLights enabled;
    for (const LightSource& light : lighting.lights) {
        if (!light.enabled) {
            continue;
        }
        LightDirection& direction = enabled.lights[enabled.count++];
        direction.source = &light;
        direction.toLight =
            unit({light.eyePosition[0], light.eyePosition[1], light.eyePosition[2]});
        const auto& l = direction.toLight;
        direction.half = unit({l[0], l[1], l[2] + 1});
    }
    return enabled;
}

std::array<float, 4> litColour(const Lighting& lighting, const Material& m,
                               const std::array<float, 3>& n) {
    return litColour(lighting, enabledLights(lighting), m, n);
}

std::array<float, 4> litColour(const Lighting& lighting, const EnabledLights& lights,
                               const Material& m, const std::array<float, 3>& n) {
    std::array<float, 3> colour{};
    for (int c = 0; c < 3; ++c) {
        colour[c] = m.emission[c] + m.ambient[c] * lighting.sceneAmbient[c];
    }
    for (int i = 0; i < lights.count; ++i) {
        const LightDirection& direction = lights.lights[i];
        const LightSource& light = *direction.source;
        const float diffuse = std::max(dot3(n, direction.toLight), 0.0f);
        // The viewer is at infinity along +z; no highlight where no diffuse.
        float specular = 0;
        if (diffuse > 0) {
            specular = std::pow(std::max(dot3(n, direction.half), 0.0f), m.shininess);
        }
        for (int c = 0; c < 3; ++c) {
            colour[c] += m.ambient[c] * light.ambient[c] +
                         diffuse * m.diffuse[c] * light.diffuse[c] +
                         specular * m.specular[c] * light.specular[c];
        }
    }
    return {clamp01(colour[0]), clamp01(colour[1]), clamp01(colour[2]), clamp01(m.diffuse[3])};
}

float exp2FogFactor(float density, float eyeDistance) {
    const float d = density * eyeDistance;
    return clamp01(std::exp(-d * d));
}
