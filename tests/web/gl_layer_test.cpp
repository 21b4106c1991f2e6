// The GL layer driven by the viewer's own scene code: the colours it hands
// to WebGL are OpenGL 1.1's lighting of the scene (directional lights,
// infinite viewer, two-sided, global ambient 0.2), here evaluated in double
// precision independently of the layer; and its wire frame keeps each
// triangle's facing.
#include <gtest/gtest.h>

#include <cmath>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/rotation.h"
#include "scene/scene.h"
#include "tests/scene/test_mesh.h"
#include "tests/web/recording_driver.h"

namespace {

struct D3 {
    double x, y, z;
};

D3 unitOf(D3 v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

double dot(D3 a, D3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Light 0 (white by default) and lights 1 to 6 as scene_init.cpp sets them.
struct SceneLight {
    D3 direction;
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
const double kFront[3] = {0.7, 0.3, 0.4};
const double kBack[3] = {0.2, 0.5, 0.3};

// 8-bit colour of eye-space normal n (reversed already for a back face).
std::array<int, 3> expectedColour(D3 n, const double* diffuse) {
    std::array<int, 3> out{};
    for (int c = 0; c < 3; ++c) {
        double sum = 0.2 * 0.05;
        for (const SceneLight& light : kLights) {
            const D3 l = unitOf(light.direction);
            const double nl = dot(n, l);
            const double nh = dot(n, unitOf({l.x, l.y, l.z + 1}));
            sum += 0.05 * light.ambient[c] + std::fmax(nl, 0) * diffuse[c] * light.diffuse[c];
            if (nl > 0) {
                sum += std::pow(std::fmax(nh, 0), 40) * (c == 2 ? 0.25 : 0.23) * light.specular[c];
            }
        }
        out[c] = static_cast<int>(std::lround(std::fmin(sum, 1) * 255));
    }
    return out;
}

void expectBytes(const std::uint8_t* actual, std::array<int, 3> expected) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(actual[c], expected[c], 1) << "channel " << c;
    }
    EXPECT_EQ(actual[3], 153);  // the material's alpha, 0.6
}

Vec3 toVec3(D3 v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

class GlLayer : public ::testing::Test {
protected:
    void SetUp() override {
        viewer = ViewerState{};
        viewer.windowWidth = viewer.windowHeight = 600;
        initScene();
        viewer.spinEnabled = 0;
        recordedDraws().clear();
    }

    const RecordedDraw& draw(const TestMesh& mesh) {
        drawFrame(mesh.model());
        EXPECT_EQ(recordedDraws().size(), 1u);
        return recordedDraws().back();
    }
};

const D3 kFrontNormal = unitOf({0.3, -0.5, 1});
const D3 kBackNormal = unitOf({-0.5, 0.2, 1});

// A counter-clockwise front face, and a clockwise back face whose stored
// normal points away from the viewer.
TestMesh frontAndBack() {
    TestMesh mesh;
    mesh.add({-1.4f, -1, 0}, {-0.1f, -1, 0}, {-0.75f, 1, 0}, toVec3(kFrontNormal));
    mesh.add({0.1f, -1, 0}, {0.75f, 1, 0}, {1.4f, -1, 0},
             toVec3({-kBackNormal.x, -kBackNormal.y, -kBackNormal.z}));
    return mesh;
}

}  // namespace

TEST_F(GlLayer, FrontAndBackColoursFollowTheLightingEquation) {
    const RecordedDraw& frame = draw(frontAndBack());
    ASSERT_EQ(frame.vertices.size(), 6u);
    EXPECT_FALSE(frame.lines);
    EXPECT_TRUE(frame.depthTest);
    for (int i = 0; i < 3; ++i) {
        expectBytes(frame.vertices[i].front, expectedColour(kFrontNormal, kFront));
        expectBytes(frame.vertices[3 + i].back, expectedColour(kBackNormal, kBack));
    }
    // Front and back really differ, so a swap would show.
    EXPECT_GT(frame.vertices[0].front[0], frame.vertices[3].back[0] + 100);
}

TEST_F(GlLayer, TheModelTurnsUnderLightsThatStayWithTheViewer) {
    TestMesh mesh;
    mesh.addRectangle(-1, -1, 1, 1, 0, {0, 0, 1});
    rotationMatrix(40, {1, 0, 0}, viewer.modelRotation);
    const RecordedDraw& frame = draw(mesh);
    const double radians = 40 * 3.14159265358979 / 180;
    expectBytes(frame.vertices[0].front,
                expectedColour({0, -std::sin(radians), std::cos(radians)}, kFront));
    // Positions turn too: (1, 1, 0) goes to (1, cos 40, sin 40) in eye space.
    EXPECT_NEAR(frame.vertices[2].eye[1], std::cos(radians), 1e-5);
    EXPECT_NEAR(frame.vertices[2].eye[2], std::sin(radians), 1e-5);
}

TEST_F(GlLayer, WireFrameEdgesCarryTheirTrianglesFacing) {
    viewer.wireframe = 1;
    const RecordedDraw& frame = draw(frontAndBack());
    EXPECT_TRUE(frame.lines);
    ASSERT_EQ(frame.vertices.size(), 12u);  // three edges of two ends each
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        expectBytes(frame.vertices[i].front, expectedColour(kFrontNormal, kFront));
        expectBytes(frame.vertices[i].back, expectedColour(kFrontNormal, kFront));
        expectBytes(frame.vertices[6 + i].front, expectedColour(kBackNormal, kBack));
    }
    // The next frame is filled again: restoreDefaults set GL_FILL.
    viewer.wireframe = 0;
    recordedDraws().clear();
    EXPECT_FALSE(draw(frontAndBack()).lines);
}

TEST_F(GlLayer, FogAndTheProjectionReachTheDriver) {
    viewer.fogEnabled = 1;
    const RecordedDraw& frame = draw(frontAndBack());
    EXPECT_TRUE(frame.fog);
    EXPECT_FLOAT_EQ(frame.fogDensity, 0.24300002f);
    // glOrtho(-1.5, 1.5, -1.5, 1.5, -4, 4) on a square window.
    EXPECT_FLOAT_EQ(frame.projection[0], 2 / 3.0f);
    EXPECT_FLOAT_EQ(frame.projection[10], -0.25f);
}

TEST_F(GlLayer, SpinStepReadsBackTheTurnedMatrix) {
    viewer.spinEnabled = 1;
    viewer.spinAngle = 90;
    viewer.spinAxis = {0, 0, 1};
    applySpinIncrement();
    // A quarter turn about z: the first column is now the y axis.
    EXPECT_NEAR(viewer.modelRotation[0], 0, 1e-6f);
    EXPECT_NEAR(viewer.modelRotation[1], 1, 1e-6f);
    EXPECT_NEAR(viewer.modelRotation[15], 1, 1e-6f);
}
