// A test page's program, not the viewer: draws one of the lighting tests'
// scenes through the web GL layer on a 600-pixel canvas and puts in the
// page's title where to look and what OpenGL 1.1 gives there, the
// equation that scene_gl holds Mesa to. lit_colours.test.mjs compares.
// "#model/ANGLE/X/Y/Z/FOG/WIRE" draws the built-in model instead, turned
// and drawn as web_native_frame draws it on Mesa, and titles the page
// "drawn".
#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/viewer_state.h"
#include "platform/web/gl/webgl_driver.h"
#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/scene/scene_lighting.h"
#include "tests/scene/test_mesh.h"
#include "tests/support/rotation_checks.h"
#include "tests/web/one_winding.h"

using namespace scene_lighting;

namespace {

constexpr int kSide = 600;

// clang-format off
EM_JS(void, probeHash, (char* out, int size), { stringToUTF8(location.hash.slice(1), out, size); });
EM_JS(void, probeCanvas, (int side), {
    Module.morvanePage.createCanvas("probe", side, "probe");
    Module.morvanePage.showCanvas(true);
});
EM_JS(void, probeReport, (const char* json), { document.title = UTF8ToString(json); });
// clang-format on

Vec3 toVec3(V v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// One sample: eye (x, y) as CSS pixels from the top left, and its colour.
std::string sample(float eyeX, float eyeY, Colour c) {
    const int x = static_cast<int>((eyeX + 1.5f) / 3.0f * kSide);
    const int y = kSide - 1 - static_cast<int>((eyeY + 1.5f) / 3.0f * kSide);
    return "[" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(c.red) + "," +
           std::to_string(c.green) + "," + std::to_string(c.blue) + "]";
}

std::string frontAndBack(TestMesh& mesh) {
    const V front = normalised({0.3, -0.5, 1});
    const V back = normalised({-0.5, 0.2, 1});
    mesh.add({-1.4f, -1, 0}, {-0.1f, -1, 0}, {-0.75f, 1, 0}, toVec3(front));
    mesh.add({0.1f, -1, 0}, {0.75f, 1, 0}, {1.4f, -1, 0}, toVec3({-back.x, -back.y, -back.z}));
    return sample(-0.75f, -0.2f, litColour(front, kFrontDiffuse)) + "," +
           sample(0.75f, -0.2f, litColour(back, kBackDiffuse));
}

std::string turned(TestMesh& mesh) {
    mesh.addRectangle(-1, -1, 1, 1, 0, {0, 0, 1});
    rotationMatrix(40, {1, 0, 0}, viewer.modelRotation);
    const double s = std::sin(40 * 3.14159265358979 / 180),
                 c = std::cos(40 * 3.14159265358979 / 180);
    return sample(0, 0, litColour({0, -s, c}, kFrontDiffuse));
}

std::string fogged(TestMesh& mesh) {
    const V n = normalised({0.3, -0.5, 1});
    mesh.addRectangle(-1, -1, 1, 1, -3, toVec3(n));
    viewer.fogEnabled = 1;
    const Colour lit = litColour(n, kFrontDiffuse);
    const double d = 0.24300002f * 3.0, kept = std::exp(-d * d);
    auto blend = [&](int colour, double fog) {
        return static_cast<int>(std::lround(kept * colour + (1 - kept) * fog * 255));
    };
    return sample(0, 0, {blend(lit.red, 0.4), blend(lit.green, 0.4), blend(lit.blue, 0.5)});
}

bool startScene(int side) {
    probeCanvas(side);
    if (webglCreateContext("probe") == 0) {
        probeReport("no WebGL");
        return false;
    }
    viewer = ViewerState{};
    viewer.windowWidth = viewer.windowHeight = side;
    initScene();
    viewer.spinEnabled = 0;
    return true;
}

int drawTestScene(int scene) {
    if (!startScene(kSide)) {
        return 1;
    }
    TestMesh mesh;
    const std::string samples = scene == 0   ? frontAndBack(mesh)
                                : scene == 1 ? turned(mesh)
                                             : fogged(mesh);
    drawFrame(mesh.model());
    glFlush();
    probeReport(("[" + samples + "]").c_str());
    return 0;
}

int drawModelState(const char* state) {
    float angle = 0;
    Vec3 axis{};
    int fog = 0, wire = 0;
    if (std::sscanf(state, "%f/%f/%f/%f/%d/%d", &angle, &axis.x, &axis.y, &axis.z, &fog, &wire) !=
        6) {
        probeReport("bad state");
        return 2;
    }
    if (!startScene(kWindowSide)) {
        return 1;
    }
    rotationMatrix(angle, axis, viewer.modelRotation);
    viewer.fogEnabled = fog;
    viewer.wireframe = wire;
    const OneWindingModel oneWinding(builtinModel);
    drawFrame(oneWinding.model());
    probeReport("drawn");
    return 0;
}

}  // namespace

int main() {
    char hash[128];
    probeHash(hash, sizeof hash);
    const std::string prefix = "model/";
    if (std::string(hash).starts_with(prefix)) {
        return drawModelState(hash + prefix.size());
    }
    return drawTestScene(std::atoi(hash));
}
