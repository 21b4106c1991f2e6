// The WebGL side of the GL layer: one context per canvas, one shader pair
// that draws pre-lit vertices, and the few calls the layer makes.
//
// Depends on: Emscripten (EM_JS), the page's WebGL 1, page.js's
// prepareCanvas and warmGpu for the warm-up.
// Cannot: more than one context at a time; textures, blending, stencil.
#pragma once

#include <cstdint>
#include <span>

// One vertex as the layer hands it over: eye-space position, and the
// colours lit for the front and for the back, as 8-bit RGBA.
struct LitVertex {
    float eye[3];
    std::uint8_t front[4];
    std::uint8_t back[4];
};

struct DrawState {
    const float* projection;  // column-major 4x4
    bool depthTest;
    bool fog;
    float fogDensity;
    const float* fogColour;  // RGB
};

// The warm-up, while the program waits for its first message box: once
// the box is painted, page.js's worker makes and drops a context, then a
// canvas of the given side (page.js keeps it out of the page) gets the
// context, the program and one draw of each state, one step a frame.
void webglStartWarmUp(int side);
// Whether WebGL with these attributes can be had at all: the warm-up's
// answer, got now if it has not run yet, and kept.
bool webglAvailable(int side);
// The context on the canvas with the given element id: the warm-up's when
// it was made there, else a new one; 0 when the page has no WebGL. Later
// calls draw into the newest one.
int webglCreateContext(const char* canvasId);
void webglDeleteContext(int context);
void webglClear(const float colour[4], bool colourBuffer, bool depthBuffer);
void webglDraw(std::span<const LitVertex> vertices, bool lines, const DrawState& state);
void webglFlush();
