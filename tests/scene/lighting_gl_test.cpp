// Lit pixels against the OpenGL 1.1 lighting equation, evaluated here from
// the scene's constants (directional lights, infinite viewer,
// two-sided lighting, no colour material, global ambient 0.2).
#include <cmath>

#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/scene/gl_test.h"
#include "tests/scene/scene_lighting.h"
#include "tests/scene/test_mesh.h"
#include "tests/support/rotation_checks.h"

using namespace scene_lighting;

namespace {

Vec3 toVec3(V v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// Rotation^T x v: the model-space vector that modelRotation takes to v.
Vec3 intoModelSpace(const float* rotation, Vec3 v) {
    auto column = [&](int c) {
        return rotation[4 * c] * v.x + rotation[4 * c + 1] * v.y + rotation[4 * c + 2] * v.z;
    };
    return {column(0), column(1), column(2)};
}

void expectColour(Colour actual, Colour expected, int tolerance) {
    EXPECT_NEAR(actual.red, expected.red, tolerance);
    EXPECT_NEAR(actual.green, expected.green, tolerance);
    EXPECT_NEAR(actual.blue, expected.blue, tolerance);
}

class Lighting : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (!HasFatalFailure()) {
            initScene();
            viewer.spinEnabled = 0;
        }
    }
};

}  // namespace

TEST_F(Lighting, FrontAndBackFacesFollowTheLightingEquation) {
    const V frontNormal = normalised({0.3, -0.5, 1});
    const V backNormal = normalised({-0.5, 0.2, 1});
    TestMesh mesh;
    // Counter-clockwise on screen: a front face, lit with its own normal.
    mesh.add({-1.4f, -1, 0}, {-0.1f, -1, 0}, {-0.75f, 1, 0}, toVec3(frontNormal));
    // Clockwise: a back face, lit with the back material and the reversed
    // normal, so its stored normal points away from the viewer.
    mesh.add({0.1f, -1, 0}, {0.75f, 1, 0}, {1.4f, -1, 0},
             toVec3({-backNormal.x, -backNormal.y, -backNormal.z}));
    drawFrame(mesh.model());
    const auto image = readBackBuffer();

    const Colour front = pixelOf(image, pixelColumn(-0.75f), pixelRow(-0.2f));
    const Colour back = pixelOf(image, pixelColumn(0.75f), pixelRow(-0.2f));
    expectColour(front, litColour(frontNormal, kFrontDiffuse), 2);
    expectColour(back, litColour(backNormal, kBackDiffuse), 2);
    // The two materials really differ: a swap of front and back would show.
    EXPECT_GT(front.red, back.red + 100);
}

TEST_F(Lighting, SurfaceFacingLightZeroGetsItsFullDiffuseWhateverTheRotation) {
    const V towardsLight0 = normalised({0.7, 0.7, 1.25});
    const Colour expectedFront = litColour(towardsLight0, kFrontDiffuse);
    const Colour expectedBack = litColour(towardsLight0, kBackDiffuse);
    const float angles[] = {0, 90, 217, 33};
    const Vec3 axes[] = {{0, 0, 1}, {0, 0, 1}, {1, -2, 0.5f}, {-0.3f, 0.1f, 0.9f}};
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(r);
        rotationMatrix(angles[r], axes[r], viewer.modelRotation);
        // Drawn in model space so that modelRotation brings the triangles'
        // normals onto light 0's direction in eye space.
        auto place = [&](Vec3 eye) { return intoModelSpace(viewer.modelRotation, eye); };
        const Vec3 n = toVec3(towardsLight0);
        TestMesh mesh;
        mesh.add(place({-1.4f, -1, 0}), place({-0.1f, -1, 0}), place({-0.75f, 1, 0}), place(n));
        mesh.add(place({0.1f, -1, 0}), place({0.75f, 1, 0}), place({1.4f, -1, 0}),
                 place({-n.x, -n.y, -n.z}));
        drawFrame(mesh.model());
        const auto image = readBackBuffer();
        expectColour(pixelOf(image, pixelColumn(-0.75f), pixelRow(-0.2f)), expectedFront, 2);
        expectColour(pixelOf(image, pixelColumn(0.75f), pixelRow(-0.2f)), expectedBack, 2);
    }
}

TEST_F(Lighting, LightsStayWithTheViewerWhileTheModelTurns) {
    // The same model-space triangle lights differently once turned: the
    // lights did not turn with it.
    TestMesh mesh;
    mesh.addRectangle(-1, -1, 1, 1, 0, {0, 0, 1});
    drawFrame(mesh.model());
    const Colour unturned = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));
    rotationMatrix(40, {1, 0, 0}, viewer.modelRotation);
    drawFrame(mesh.model());
    const Colour turned = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));

    expectColour(unturned, litColour({0, 0, 1}, kFrontDiffuse), 2);
    const double s = std::sin(40 * 3.14159265358979 / 180),
                 c = std::cos(40 * 3.14159265358979 / 180);
    expectColour(turned, litColour({0, -s, c}, kFrontDiffuse), 2);
}

TEST_F(Lighting, FogBlendsTowardsItsColourByEyeDistance) {
    const V n = normalised({0.3, -0.5, 1});
    TestMesh mesh;
    mesh.addRectangle(-1, -1, 1, 1, -3, toVec3(n));
    viewer.fogEnabled = 1;
    drawFrame(mesh.model());
    const Colour fogged = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));

    const Colour lit = litColour(n, kFrontDiffuse);
    const double density = 0.24300002f, distance = 3;
    const double kept = std::exp(-(density * distance) * (density * distance));
    auto blend = [&](int colour, double fog) {
        return static_cast<int>(std::lround(kept * colour + (1 - kept) * fog * 255));
    };
    expectColour(fogged, {blend(lit.red, 0.4), blend(lit.green, 0.4), blend(lit.blue, 0.5)}, 2);
}
