// The layer's arithmetic against values worked out by hand from the
// OpenGL 1.1 equations.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/web/gl/fixed_function.h"

namespace {

Lighting oneLight(std::array<float, 4> direction) {
    Lighting lighting = defaultLighting();
    lighting.lights[0].enabled = true;
    lighting.lights[0].eyePosition = direction;
    lighting.front.diffuse = {0.5f, 0.4f, 0.2f, 0.6f};
    lighting.front.specular = {0.25f, 0.25f, 0.25f, 1};
    lighting.front.shininess = 10;
    return lighting;
}

void expectColour(const std::array<float, 4>& actual, const std::array<float, 4>& expected) {
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(actual[c], expected[c], 1e-5f) << "channel " << c;
    }
}

}  // namespace

TEST(LightingEquation, HeadOnLightGivesAmbientDiffuseAndFullHighlight) {
    const Lighting lighting = oneLight({0, 0, 1, 0});
    // 0.2 x 0.2 scene ambient + diffuse x 1 + specular x 1^10; alpha = diffuse's.
    expectColour(litColour(lighting, lighting.front, {0, 0, 1}),
                 {0.04f + 0.5f + 0.25f, 0.04f + 0.4f + 0.25f, 0.04f + 0.2f + 0.25f, 0.6f});
}

TEST(LightingEquation, ObliqueLightScalesDiffuseByTheCosineAndHighlightByItsPower) {
    // Light at 60 degrees from the normal in the x-z plane: n.L = 0.5; the
    // half vector is at 30 degrees, so n.h = cos 30.
    const float sin60 = std::sqrt(3.0f) / 2;
    const Lighting lighting = oneLight({sin60 * 4, 0, 0.5f * 4, 0});  // any length
    const float highlight = 0.25f * std::pow(std::cos(3.14159265f / 6), 10.0f);
    expectColour(
        litColour(lighting, lighting.front, {0, 0, 1}),
        {0.04f + 0.25f + highlight, 0.04f + 0.2f + highlight, 0.04f + 0.1f + highlight, 0.6f});
}

TEST(LightingEquation, LightBehindTheSurfaceLeavesOnlyAmbient) {
    Lighting lighting = oneLight({0, 0, -1, 0});
    lighting.lights[0].ambient = {0.5f, 0, 0, 1};
    // Scene ambient 0.2 and light ambient 0.5 on material ambient 0.2.
    expectColour(litColour(lighting, lighting.front, {0, 0, 1}),
                 {0.04f + 0.1f, 0.04f, 0.04f, 0.6f});
}

TEST(LightingEquation, DisabledLightsAddNothingAndSumsClampAtOne) {
    Lighting lighting = oneLight({0, 0, 1, 0});
    lighting.lights[3].diffuse = {5, 5, 5, 1};
    lighting.lights[3].eyePosition = {0, 0, 1, 0};
    expectColour(litColour(lighting, lighting.front, {0, 0, 1}), {0.79f, 0.69f, 0.49f, 0.6f});
    lighting.lights[3].enabled = true;
    expectColour(litColour(lighting, lighting.front, {0, 0, 1}), {1, 1, 1, 0.6f});
}

TEST(Matrices, RotationOrthographicAndTheNormalMatrix) {
    const auto turned = transformPoint(rotationAbout(90, 0, 0, 2), {1, 0, 0, 1});
    EXPECT_NEAR(turned[0], 0, 1e-6f);
    EXPECT_NEAR(turned[1], 1, 1e-6f);
    // The viewer's projection: x in [-1.5, 1.5] and z in [-4, 4] onto [-1, 1],
    // with eye z negated into depth.
    const Matrix4 ortho = orthographic(-1.5, 1.5, -1.5, 1.5, -4, 4);
    const auto corner = transformPoint(ortho, {1.5f, -1.5f, -4, 1});
    EXPECT_FLOAT_EQ(corner[0], 1);
    EXPECT_FLOAT_EQ(corner[1], -1);
    EXPECT_FLOAT_EQ(corner[2], 1);
    // A scale by 2 in x: normals scale by 1/2 there, as the inverse transpose.
    Matrix4 stretch = identityMatrix();
    stretch[0] = 2;
    const auto normals = normalMatrix(multiply(stretch, rotationAbout(0, 1, 0, 0)));
    EXPECT_FLOAT_EQ(normals[0], 0.5f);
    EXPECT_FLOAT_EQ(normals[4], 1);
    EXPECT_FLOAT_EQ(normals[8], 1);
}

TEST(Fog, Exp2FactorAtTheViewersDensity) {
    EXPECT_NEAR(exp2FogFactor(0.243f, 3), std::exp(-0.729 * 0.729), 1e-6);
    EXPECT_FLOAT_EQ(exp2FogFactor(0.243f, 0), 1);
    EXPECT_NEAR(exp2FogFactor(0.243f, -3), exp2FogFactor(0.243f, 3), 1e-7);
}
