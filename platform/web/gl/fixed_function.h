// The arithmetic of OpenGL 1.1's fixed-function pipeline that the web GL
// layer needs: 4x4 column-major matrices, the lighting equation for
// directional lights with an infinite viewer, and the fog factor. Pure
// functions over plain records, so they run and are tested natively.
//
// Depends on: the C++ library only.
// Cannot: positional lights, spot lights, attenuation, a local viewer,
// colour material or emission other than the default; the program uses none.
#pragma once

#include <array>

using Matrix4 = std::array<float, 16>;  // column-major, as OpenGL stores it

Matrix4 identityMatrix();
Matrix4 multiply(const Matrix4& left, const Matrix4& right);
// What glRotatef, glOrtho multiply the current matrix by.
Matrix4 rotationAbout(float degrees, float x, float y, float z);
Matrix4 orthographic(double left, double right, double bottom, double top, double nearZ,
                     double farZ);
// M x (x, y, z, w).
std::array<float, 4> transformPoint(const Matrix4& m, const std::array<float, 4>& point);
// The normal matrix: the inverse transpose of m's upper 3x3, row-major.
std::array<float, 9> normalMatrix(const Matrix4& m);

struct LightSource {
    bool enabled = false;
    std::array<float, 4> ambient{0, 0, 0, 1};
    std::array<float, 4> diffuse{0, 0, 0, 1};
    std::array<float, 4> specular{0, 0, 0, 1};
    std::array<float, 4> eyePosition{0, 0, 1, 0};  // transformed when given
};

struct Material {
    std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1};
    std::array<float, 4> diffuse{0.8f, 0.8f, 0.8f, 1};
    std::array<float, 4> specular{0, 0, 0, 1};
    std::array<float, 4> emission{0, 0, 0, 1};
    float shininess = 0;
};

struct Lighting {
    std::array<LightSource, 8> lights;
    std::array<float, 4> sceneAmbient{0.2f, 0.2f, 0.2f, 1};
    Material front;
    Material back;
    bool twoSided = false;
};

// The defaults OpenGL gives: light 0 is white, the others dark.
Lighting defaultLighting();

// What the equation needs of each enabled light, the same for every normal:
// its unit direction, and the half vector toward a viewer at infinity.
struct LightDirection {
    const LightSource* source = nullptr;
    std::array<float, 3> toLight{};
    std::array<float, 3> half{};
};
struct EnabledLights {
    std::array<LightDirection, 8> lights;
    int count = 0;
};
EnabledLights enabledLights(const Lighting& lighting);

// The clamped colour of a vertex with eye-space normal n, lit by material m
// (the caller passes the back material and -n for a back face). The second
// form is for many normals under one set of lights.
std::array<float, 4> litColour(const Lighting& lighting, const Material& m,
                               const std::array<float, 3>& n);
std::array<float, 4> litColour(const Lighting& lighting, const EnabledLights& lights,
                               const Material& m, const std::array<float, 3>& n);

// GL_EXP2: the part of the fragment's colour that fog leaves, for eye
// distance z.
float exp2FogFactor(float density, float eyeDistance);
