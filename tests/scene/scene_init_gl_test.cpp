// The fixed state initScene gives a new context, read back from OpenGL.
#include <cstring>

#include "scene/scene.h"
#include "tests/scene/gl_test.h"

namespace {

using SceneInit = GlTest;

std::vector<float> floats(GLenum name, int count) {
    std::vector<float> values(count);
    glGetFloatv(name, values.data());
    return values;
}

std::vector<float> lightValue(GLenum light, GLenum name) {
    std::vector<float> values(4);
    glGetLightfv(light, name, values.data());
    return values;
}

std::vector<float> orthoMatrix(double l, double r, double b, double t, double n, double f) {
    std::vector<float> m(16, 0.0f);
    m[0] = static_cast<float>(2 / (r - l));
    m[5] = static_cast<float>(2 / (t - b));
    m[10] = static_cast<float>(-2 / (f - n));
    m[12] = static_cast<float>(-(r + l) / (r - l));
    m[13] = static_cast<float>(-(t + b) / (t - b));
    m[14] = static_cast<float>(-(f + n) / (f - n));
    m[15] = 1.0f;
    return m;
}

void expectNear(const std::vector<float>& actual, const std::vector<float>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-6) << "element " << i;
    }
}

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

TEST_F(SceneInit, RotationIsIdentityAndFogIsSetButOff) {
    for (float& value : viewer.modelRotation) {
        value = 3.0f;
    }
    initScene();

    EXPECT_EQ(std::memcmp(viewer.modelRotation, kIdentity.data(), sizeof(float) * 16), 0);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_EXP2);
    const float density = floats(GL_FOG_DENSITY, 1)[0];
    EXPECT_EQ(density, 0.24300002f);
    EXPECT_NE(density, 0.243f) << "the density is not the float of 0.243";
    expectNear(floats(GL_FOG_COLOR, 4), {0.4f, 0.4f, 0.5f, 1.0f});
}

TEST_F(SceneInit, ProjectionIsOrthoOfTheSquareWindowAndModelViewIsCurrent) {
    initScene();
    expectNear(floats(GL_PROJECTION_MATRIX, 16), orthoMatrix(-1.5, 1.5, -1.5, 1.5, -4, 4));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), kIdentity);
}

TEST_F(SceneInit, WideWindowWidensOnlyTheHorizontalSpan) {
    viewer.windowWidth = 2 * kWindowSide;
    initScene();
    expectNear(floats(GL_PROJECTION_MATRIX, 16), orthoMatrix(-3, 3, -1.5, 1.5, -4, 4));
}

TEST_F(SceneInit, ViewportIsLeftAsTheContextReceivedIt) {
    initScene();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWindowSide);
    EXPECT_EQ(viewport[3], kWindowSide);
}

TEST_F(SceneInit, LightZeroHasOnlyItsPositionAndDefaultColours) {
    initScene();
    expectNear(lightValue(GL_LIGHT0, GL_POSITION), {0.7f, 0.7f, 1.25f, 0.0f});
    expectNear(lightValue(GL_LIGHT0, GL_AMBIENT), {0, 0, 0, 1});
    expectNear(lightValue(GL_LIGHT0, GL_DIFFUSE), {1, 1, 1, 1});
    expectNear(lightValue(GL_LIGHT0, GL_SPECULAR), {1, 1, 1, 1});
}

TEST_F(SceneInit, SevenLightsWithTheirColoursTwoSidedLightingStillOff) {
    struct Light {
        std::vector<float> position, ambient, diffuse, specular;
    };
    const Light lights[6] = {
        {{-10, 14, 4, 0}, {0.35f, 0.35f, 0.65f, 1}, {0.2f, 0.2f, 0.5f, 1}, {0.2f, 0.2f, 0.65f, 1}},
        {{5, -6, -2, 0}, {0.65f, 0.75f, 0.45f, 1}, {0.4f, 0.3f, 0.3f, 1}, {0.65f, 0.85f, 0.85f, 1}},
        {{0, -3, 4, 0}, {0.65f, 0.65f, 0.35f, 1}, {0.4f, 0.4f, 0.05f, 1}, {0.65f, 0.65f, 0.85f, 1}},
        {{0, -2, -5, 0}, {0.55f, 0.55f, 0.55f, 1}, {0.4f, 0.5f, 0.3f, 1}, {0.2f, 0.7f, 0.35f, 1}},
        {{0, 0, -8, 0}, {0.05f, 0.6f, 0.05f, 1}, {0, 0.5f, 0, 1}, {0.05f, 0.6f, 0.08f, 1}},
        {{-20, -10, -2, 0},
         {0.4f, 0.4f, 0.4f, 1},
         {0.4f, 0.4f, 0.05f, 1},
         {0.65f, 0.55f, 0.55f, 1}},
    };
    initScene();
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i + 1);
        const GLenum light = GL_LIGHT1 + i;
        expectNear(lightValue(light, GL_POSITION), lights[i].position);
        expectNear(lightValue(light, GL_AMBIENT), lights[i].ambient);
        expectNear(lightValue(light, GL_DIFFUSE), lights[i].diffuse);
        expectNear(lightValue(light, GL_SPECULAR), lights[i].specular);
        EXPECT_EQ(std::vector<float>(lightPositions[i], lightPositions[i] + 4), lights[i].position);
    }
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + i)) << "light " << i;
    }
    GLint twoSided = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
    EXPECT_EQ(twoSided, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "frames switch lighting on and off";
    expectNear(floats(GL_LIGHT_MODEL_AMBIENT, 4), {0.2f, 0.2f, 0.2f, 1.0f});
}
