// The GL layer driven by the viewer's own scene code: the colours it hands
// to WebGL are OpenGL 1.1's lighting of the scene, the same equation that
// scene_gl holds Mesa to; and its wire frame keeps each triangle's facing.
#include <gtest/gtest.h>

#include <cmath>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/scene/scene_lighting.h"
#include "tests/scene/test_mesh.h"
#include "tests/support/rotation_checks.h"
#include "tests/web/recording_driver.h"

using namespace scene_lighting;

namespace {

void expectBytes(const std::uint8_t* actual, Colour expected) {
    EXPECT_NEAR(actual[0], expected.red, 1);
    EXPECT_NEAR(actual[1], expected.green, 1);
    EXPECT_NEAR(actual[2], expected.blue, 1);
    EXPECT_EQ(actual[3], 153);  // the material's alpha, 0.6
}

Vec3 toVec3(V v) {
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

const V kFrontNormal = normalised({0.3, -0.5, 1});
const V kBackNormal = normalised({-0.5, 0.2, 1});

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
        expectBytes(frame.vertices[i].front, litColour(kFrontNormal, kFrontDiffuse));
        expectBytes(frame.vertices[3 + i].back, litColour(kBackNormal, kBackDiffuse));
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
                litColour({0, -std::sin(radians), std::cos(radians)}, kFrontDiffuse));
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
        expectBytes(frame.vertices[i].front, litColour(kFrontNormal, kFrontDiffuse));
        expectBytes(frame.vertices[i].back, litColour(kFrontNormal, kFrontDiffuse));
        expectBytes(frame.vertices[6 + i].front, litColour(kBackNormal, kBackDiffuse));
    }
    // The next frame is filled again: restoreDefaults set GL_FILL.
    viewer.wireframe = 0;
    recordedDraws().clear();
    EXPECT_FALSE(draw(frontAndBack()).lines);
}

// Filled, a triangle with two corners at one place gives no fragments, so
// it is not handed over; its edges still are a line in the wire frame.
TEST_F(GlLayer, TrianglesWithTwoCornersTogetherAreLeftOutOnlyWhenFilled) {
    TestMesh mesh = frontAndBack();
    mesh.add({-1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {0, 0, 0});
    mesh.add({-1, 0, 0}, {-1, 0, 0}, {1, 1, 0}, {0, 0, 0});
    mesh.add({-1, 0, 0}, {1, 1, 0}, {1, 1, 0}, {0, 0, 0});
    EXPECT_EQ(draw(mesh).vertices.size(), 6u);
    viewer.wireframe = 1;
    recordedDraws().clear();
    EXPECT_EQ(draw(mesh).vertices.size(), 5u * 6u);
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
