// The OpenGL 1.1 lighting equation evaluated in double precision from the
// scene's constants (directional lights, infinite viewer, two-sided
// lighting, no colour material, global ambient 0.2): what every renderer of
// the scene, Mesa or the web build's GL layer, must agree with.
#pragma once

#include <cmath>

#include "tests/scene/gl_window.h"

namespace scene_lighting {

struct V {
    double x, y, z;
};

inline V normalised(V v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

inline double dot(V a, V b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

struct SceneLight {
    V direction;
    double ambient[3], diffuse[3], specular[3];
};

const SceneLight kLights[7] = {
    {{0.7, 0.7, 1.25}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}},
    {{-10, 14, 4}, {0.35, 0.35, 0.65}, {0.2, 0.2, 0.5}, {0.2, 0.2, 0.65}},
    {{5, -6, -2}, {0.65, 0.75, 0.45}, {0.4, 0.3, 0.3}, {0.65, 0.85, 0.85}},
    {{0, -3, 4}, {0.65, 0.65, 0.35}, {0.4, 0.4, 0.05}, {0.65, 0.65, 0.85}},
    {{0, -2, -5}, {0.55, 0.55, 0.55}, {0.4, 0.5, 0.3}, {0.2, 0.7, 0.35}},
    {{0, 0, -8}, {0.05, 0.6, 0.05}, {0, 0.5, 0}, {0.05, 0.6, 0.08}},
    {{-20, -10, -2}, {0.4, 0.4, 0.4}, {0.4, 0.4, 0.05}, {0.65, 0.55, 0.55}},
};
const double kMaterialAmbient = 0.05;
const double kMaterialSpecular[3] = {0.23, 0.23, 0.25};
const double kShininess = 40;
const double kFrontDiffuse[3] = {0.7, 0.3, 0.4};
const double kBackDiffuse[3] = {0.2, 0.5, 0.3};

// Colour of a surface whose lighting normal (already reversed for a back
// face) is n in eye space. Specular light comes only from lights in front of
// the surface, as drivers evaluate it; the half vector of a light straight
// from behind the viewer would be undefined otherwise.
inline Colour litColour(V n, const double* diffuse) {
    n = normalised(n);
    double colour[3];
    for (int c = 0; c < 3; ++c) {
        colour[c] = 0.2 * kMaterialAmbient;
    }
    for (const SceneLight& light : kLights) {
        const V l = normalised(light.direction);
        const double nl = dot(n, l);
        const V h = normalised({l.x, l.y, l.z + 1});
        const double specular = nl > 0 ? std::pow(std::fmax(dot(n, h), 0.0), kShininess) : 0.0;
        for (int c = 0; c < 3; ++c) {
            colour[c] += light.ambient[c] * kMaterialAmbient;
            colour[c] += std::fmax(nl, 0.0) * light.diffuse[c] * diffuse[c];
            colour[c] += specular * light.specular[c] * kMaterialSpecular[c];
        }
    }
    auto byte = [](double v) { return static_cast<int>(std::lround(std::fmin(v, 1.0) * 255)); };
    return {byte(colour[0]), byte(colour[1]), byte(colour[2])};
}

}  // namespace scene_lighting
