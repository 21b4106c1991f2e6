// The built-in model (one winding of each triangle: one_winding.h) drawn
// by the native build's scene code on Mesa (a private Xvfb), saved as PNG, for lit_colours.test.mjs
// to hold the web build's picture of the same state against. One state a group of arguments, all
// drawn in one context:
//
//   web_native_frame OUT.png ANGLE AXIS-X AXIS-Y AXIS-Z FOG WIRE [...]
//
// The model is turned by ANGLE degrees about the axis (as glRotatef would),
// with no spin step; FOG and WIRE are 0 or 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/scene/gl_window.h"
#include "tests/support/image_file.h"
#include "tests/support/rotation_checks.h"
#include "tests/web/one_winding.h"

namespace {

constexpr int kArgumentsPerState = 7;

// The back buffer, bottom row first, as a picture top row first.
RgbImage backBufferPicture() {
    const std::vector<std::uint8_t> rows = readBackBuffer();
    RgbImage image{kWindowSide, kWindowSide, {}};
    image.pixels.reserve(static_cast<std::size_t>(kWindowSide) * kWindowSide);
    for (int y = kWindowSide - 1; y >= 0; --y) {
        for (int x = 0; x < kWindowSide; ++x) {
            const Colour c = pixelOf(rows, x, y);
            image.pixels.push_back({static_cast<std::uint8_t>(c.red),
                                    static_cast<std::uint8_t>(c.green),
                                    static_cast<std::uint8_t>(c.blue)});
        }
    }
    return image;
}

bool drawState(const SurfaceModel& model, char** state) {
    viewer = ViewerState{};
    viewer.windowWidth = viewer.windowHeight = kWindowSide;
    initScene();
    viewer.spinEnabled = 0;
    const Vec3 axis = {std::strtof(state[2], nullptr), std::strtof(state[3], nullptr),
                       std::strtof(state[4], nullptr)};
    rotationMatrix(std::strtof(state[1], nullptr), axis, viewer.modelRotation);
    viewer.fogEnabled = std::atoi(state[5]);
    viewer.wireframe = std::atoi(state[6]);
    drawFrame(model);
    glFinish();
    return savePng(backBufferPicture(), state[0]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 1 + kArgumentsPerState || (argc - 1) % kArgumentsPerState != 0) {
        std::fprintf(stderr, "usage: web_native_frame OUT.png ANGLE X Y Z FOG WIRE [...]\n");
        return 2;
    }
    if (!openGlWindow() || !makeFreshContext()) {
        std::fprintf(stderr, "web_native_frame: %s\n", glWindowError().c_str());
        return 1;
    }
    const OneWindingModel oneWinding(builtinModel);
    for (int first = 1; first < argc; first += kArgumentsPerState) {
        if (!drawState(oneWinding.model(), argv + first)) {
            std::fprintf(stderr, "web_native_frame: cannot write %s\n", argv[first]);
            return 1;
        }
    }
    closeGlWindow();
    return 0;
}
