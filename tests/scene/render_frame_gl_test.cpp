// Frames drawn by real OpenGL: the spin step, background, fog switch, wire
// frame, depth and the frame's bookkeeping.
#include <cmath>
#include <cstring>
#include <limits>

#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/scene/gl_test.h"
#include "tests/scene/test_mesh.h"
#include "tests/support/rotation_checks.h"

namespace {

class RenderFrame : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (!HasFatalFailure()) {
            initScene();
        }
    }
};

// The rotation by degrees about axis, in double (Rodrigues), column-major.
std::vector<double> exactRotation(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    x /= length;
    y /= length;
    z /= length;
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1 - c;
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

void setRotation(const std::vector<double>& m) {
    for (int i = 0; i < 16; ++i) {
        viewer.modelRotation[i] = static_cast<float>(m[i]);
    }
}

bool sameBits(const float* a, const float* b) {
    return std::memcmp(a, b, 16 * sizeof(float)) == 0;
}

bool allFinite(const float* m) {
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(m[i])) {
            return false;
        }
    }
    return true;
}

// The increment exactly as OpenGL forms it, without our correction.
void plainProduct(float angle, Vec3 axis, const float* rotation, float* out) {
    glPushMatrix();
    glLoadIdentity();
    glRotatef(angle, axis.x, axis.y, axis.z);
    glMultMatrixf(rotation);
    glGetFloatv(GL_MODELVIEW_MATRIX, out);
    glPopMatrix();
}

TestMesh squareFacingViewer(float half, float z) {
    TestMesh mesh;
    mesh.addRectangle(-half, -half, half, half, z, {0, 0, 1});
    return mesh;
}

}  // namespace

TEST_F(RenderFrame, FirstFrameTurnsTwoDegreesAboutTheInitialAxisAndSwapsOnce) {
    renderFrame();
    const auto expected = exactRotation(2.0, 0.3, 0.2, 0.4);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(viewer.modelRotation[i], expected[i], 1e-6) << "element " << i;
    }
    EXPECT_EQ(swapCount(), 1);
}

TEST_F(RenderFrame, IncrementsTurnAboutAnAxisFixedInEyeSpace) {
    // R x M, not M x R: the second increment is about the eye's z axis even
    // though the model has already turned about x.
    setRotation(exactRotation(90, 1, 0, 0));
    viewer.spinAngle = 90.0f;
    viewer.spinAxis = {0, 0, 1};
    applySpinIncrement();
    std::vector<double> expected(16, 0.0);
    const auto rz = exactRotation(90, 0, 0, 1), rx = exactRotation(90, 1, 0, 0);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            for (int k = 0; k < 4; ++k) {
                expected[4 * c + r] += rz[4 * k + r] * rx[4 * c + k];
            }
        }
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(viewer.modelRotation[i], expected[i], 1e-6) << "element " << i;
    }
}

TEST_F(RenderFrame, StoppedSpinLeavesRotationUntouchedOverManyFrames) {
    setRotation(exactRotation(33, 1, -2, 0.5));
    float before[16];
    std::memcpy(before, viewer.modelRotation, sizeof(before));
    viewer.spinEnabled = 0;
    const TestMesh mesh = squareFacingViewer(0.5f, 0);
    for (int frame = 0; frame < 50; ++frame) {
        drawFrame(mesh.model());
    }
    EXPECT_TRUE(sameBits(viewer.modelRotation, before));
}

TEST_F(RenderFrame, NullOrInvalidIncrementLeavesRotationExactlyUnchanged) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        float angle;
        Vec3 axis;
    };
    const Case cases[] = {
        {"zero axis, as a resting pointer gives", 0.0f, {0, 0, 0}},
        {"zero axis with an angle", 2.0f, {0, 0, 0}},
        {"angle 0 about a real axis", 0.0f, {0.3f, 0.2f, 0.4f}},
        {"negative zero axis", 5.0f, {-0.0f, -0.0f, -0.0f}},
        {"NaN axis", 2.0f, {nan, 0, 1}},
        {"infinite angle", infinity, {0, 0, 1}},
    };
    setRotation(exactRotation(20, 0, 1, 1));
    float before[16];
    std::memcpy(before, viewer.modelRotation, sizeof(before));
    const TestMesh mesh = squareFacingViewer(0.5f, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewer.spinAngle = c.angle;
        viewer.spinAxis = c.axis;
        drawFrame(mesh.model());
        EXPECT_TRUE(sameBits(viewer.modelRotation, before));
        EXPECT_TRUE(allFinite(viewer.modelRotation));
    }
}

TEST_F(RenderFrame, OneIncrementStaysWithinFloatRoundingOfThePlainProduct) {
    setRotation(exactRotation(123, -0.4, 0.9, 0.2));
    const Vec3 axes[] = {{0.3f, 0.2f, 0.4f}, {0, 0.57735f, 0}, {-5, 1e-3f, 2}};
    const float angles[] = {2.0f, 54.52f, 0.001f};
    for (int i = 0; i < 3; ++i) {
        float plain[16];
        plainProduct(angles[i], axes[i], viewer.modelRotation, plain);
        viewer.spinAngle = angles[i];
        viewer.spinAxis = axes[i];
        applySpinIncrement();
        for (int e = 0; e < 16; ++e) {
            EXPECT_NEAR(viewer.modelRotation[e], plain[e], 1e-6)
                << "case " << i << " element " << e;
        }
    }
}

TEST_F(RenderFrame, HundredThousandIncrementsStayOrthonormal) {
    const float angles[] = {2.0f, 54.52f};
    for (float angle : angles) {
        SCOPED_TRACE(angle);
        setRotation(exactRotation(0, 0, 0, 1));
        viewer.spinAngle = angle;
        viewer.spinAxis = {0.3f, 0.2f, 0.4f};
        for (int i = 0; i < 100000; ++i) {
            applySpinIncrement();
        }
        EXPECT_LT(orthonormalityError(viewer.modelRotation), 1e-5);
        EXPECT_EQ(viewer.modelRotation[15], 1.0f);
        EXPECT_EQ(viewer.modelRotation[3], 0.0f);
        EXPECT_EQ(viewer.modelRotation[12], 0.0f);
    }
}

TEST_F(RenderFrame, BackgroundIsGreyWithoutFogAndReddishWithIt) {
    const TestMesh empty;
    drawFrame(empty.model());
    EXPECT_EQ(countPixelsUnlike(readBackBuffer(), kBackground, 1), 0);
    EXPECT_FALSE(glIsEnabled(GL_FOG));

    viewer.fogEnabled = 1;
    drawFrame(empty.model());
    EXPECT_EQ(countPixelsUnlike(readBackBuffer(), kFogBackground, 1), 0);
    EXPECT_TRUE(glIsEnabled(GL_FOG)) << "fog stays as the frame set it";

    viewer.fogEnabled = 0;
    drawFrame(empty.model());
    EXPECT_EQ(countPixelsUnlike(readBackBuffer(), kBackground, 1), 0);
}

TEST_F(RenderFrame, MeshWithNoTrianglesShowsOnlyTheBackground) {
    // Null tables: a count of 0 or less must not read any entry.
    for (std::int32_t count : {0, -1, -14224}) {
        SCOPED_TRACE(count);
        SurfaceModel model{"none", nullptr, count, nullptr, 0, nullptr, 0, nullptr, 0, 1};
        for (int wire : {0, 1}) {
            viewer.wireframe = wire;
            drawFrame(model);
            EXPECT_EQ(countPixelsUnlike(readBackBuffer(), kBackground, 1), 0);
        }
    }
}

TEST_F(RenderFrame, WireFrameLightsFarFewerPixelsAndTheNextFrameFillsAgain) {
    viewer.spinEnabled = 0;
    TestMesh mesh;
    // A fan of eight triangles around the centre, like a small mesh.
    for (int i = 0; i < 8; ++i) {
        const double a0 = i * 3.14159265358979 / 4, a1 = (i + 1) * 3.14159265358979 / 4;
        mesh.add({0, 0, 0}, {float(std::cos(a0)), float(std::sin(a0)), 0},
                 {float(std::cos(a1)), float(std::sin(a1)), 0}, {0, 0, 1});
    }
    drawFrame(mesh.model());
    const int filled = countPixelsUnlike(readBackBuffer(), kBackground, 2);

    const Colour face = pixelOf(readBackBuffer(), pixelColumn(0.3f), pixelRow(0.1f));

    viewer.wireframe = 1;
    drawFrame(mesh.model());
    const auto wireImage = readBackBuffer();
    const int wire = countPixelsUnlike(wireImage, kBackground, 2);
    // The lines are lit like the faces: every drawn pixel has the face's colour.
    int neitherFaceNorBackground = 0;
    for (int y = 0; y < kWindowSide; ++y) {
        for (int x = 0; x < kWindowSide; ++x) {
            const Colour p = pixelOf(wireImage, x, y);
            const bool isFace = std::abs(p.red - face.red) <= 2 &&
                                std::abs(p.green - face.green) <= 2 &&
                                std::abs(p.blue - face.blue) <= 2;
            const bool isBackground = p.red == kBackground.red && p.green == kBackground.green;
            neitherFaceNorBackground += (isFace || isBackground) ? 0 : 1;
        }
    }

    viewer.wireframe = 0;
    drawFrame(mesh.model());
    const int refilled = countPixelsUnlike(readBackBuffer(), kBackground, 2);

    EXPECT_GT(filled, 150000) << "the octagon covers about a third of the window";
    EXPECT_GT(wire, 1000);
    EXPECT_LT(wire * 10, filled);
    EXPECT_EQ(neitherFaceNorBackground, 0);
    EXPECT_EQ(refilled, filled);
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

TEST_F(RenderFrame, DepthTestKeepsTheNearerSurfaceWhateverTheOrder) {
    viewer.spinEnabled = 0;
    // Eye z grows towards the viewer, so z = 1 is in front of z = -1. Facing
    // sideways and facing the viewer light to clearly different colours.
    TestMesh nearLast, nearFirst;
    nearLast.addRectangle(-1, -1, 1, 1, -1, {0, 0, 1});
    nearLast.addRectangle(-0.5f, -0.5f, 0.5f, 0.5f, 1, {1, 0, 0});
    nearFirst.addRectangle(-0.5f, -0.5f, 0.5f, 0.5f, 1, {1, 0, 0});
    nearFirst.addRectangle(-1, -1, 1, 1, -1, {0, 0, 1});

    drawFrame(nearLast.model());
    const Colour a = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));
    drawFrame(nearFirst.model());
    const Colour b = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));
    drawFrame(squareFacingViewer(1, -1).model());
    const Colour far = pixelOf(readBackBuffer(), pixelColumn(0), pixelRow(0));

    EXPECT_NEAR(a.red, b.red, 2);
    EXPECT_NEAR(a.green, b.green, 2);
    EXPECT_NEAR(a.blue, b.blue, 2);
    EXPECT_GT(std::abs(a.red - far.red) + std::abs(a.green - far.green), 20)
        << "the near square shows, not the far one";
}

TEST_F(RenderFrame, GeometryBeyondEyeDepthFourIsClipped) {
    viewer.spinEnabled = 0;
    TestMesh outside, inside;
    outside.addRectangle(-1.4f, -1.4f, -0.1f, 1.4f, 4.2f, {0, 0, 1});
    outside.addRectangle(0.1f, -1.4f, 1.4f, 1.4f, -4.2f, {0, 0, 1});
    inside.addRectangle(-1.4f, -1.4f, -0.1f, 1.4f, 3.9f, {0, 0, 1});
    inside.addRectangle(0.1f, -1.4f, 1.4f, 1.4f, -3.9f, {0, 0, 1});

    drawFrame(outside.model());
    EXPECT_EQ(countPixelsUnlike(readBackBuffer(), kBackground, 1), 0);
    drawFrame(inside.model());
    const auto image = readBackBuffer();
    EXPECT_GT(countPixelsUnlike(image, kBackground, 1), 400000);
    const Colour left = pixelOf(image, pixelColumn(-0.7f), pixelRow(0));
    const Colour right = pixelOf(image, pixelColumn(0.7f), pixelRow(0));
    EXPECT_NE(left.red, kBackground.red);
    EXPECT_NE(right.red, kBackground.red);
}

TEST_F(RenderFrame, FrameLeavesTheStateItFound) {
    viewer.wireframe = 1;
    viewer.fogEnabled = 1;
    const TestMesh mesh = squareFacingViewer(0.5f, 0);
    drawFrame(mesh.model());

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLint modes[2] = {}, depth = 0, matrixMode = 0;
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_FILL);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
    float modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(sameBits(modelView, identity));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderFrame, FrameWithoutRenderingContextDoesNothing) {
    viewer.renderContext = nullptr;
    viewer.fogEnabled = 1;
    glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
    float before[16];
    std::memcpy(before, viewer.modelRotation, sizeof(before));

    renderFrame();

    EXPECT_EQ(swapCount(), 0);
    EXPECT_TRUE(sameBits(viewer.modelRotation, before));
    float clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.5f) << "no OpenGL call was made";
    EXPECT_FALSE(glIsEnabled(GL_FOG));

    // Nor with no context current at all, as after a failed creation.
    dropContext();
    renderFrame();
    EXPECT_EQ(swapCount(), 0);
}

TEST_F(RenderFrame, SwappedFrameShowsTheBuiltinModelOnTheWindow) {
    renderFrame();
    const std::vector<Colour> shown = readWindowImage();
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(kWindowSide * kWindowSide));
    int model = 0;
    for (const Colour& p : shown) {
        if (std::abs(p.red - 38) > 2 || std::abs(p.green - 38) > 2 || std::abs(p.blue - 38) > 2) {
            ++model;
        }
    }
    EXPECT_NEAR(shown[0].red, 38, 1) << "corner is background";
    EXPECT_GT(model, 10000) << "the model covers a good part of the window";
    EXPECT_LT(model, kWindowSide * kWindowSide / 2);
}
