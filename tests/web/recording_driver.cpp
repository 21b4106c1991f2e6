#include "tests/web/recording_driver.h"

#include <algorithm>

#include "platform/platform.h"

namespace {

bool keepVertices = true;

}  // namespace

void keepRecordedVertices(bool keep) {
    keepVertices = keep;
}

std::vector<RecordedDraw>& recordedDraws() {
    static std::vector<RecordedDraw> draws;
    return draws;
}

int webglCreateContext(const char*) {
    return 1;
}
void webglDeleteContext(int) {}
bool webglAvailable(int) {
    return true;
}
void webglClear(const float*, bool, bool) {}
void webglFlush() {}

void webglDraw(std::span<const LitVertex> vertices, bool lines, const DrawState& state) {
    RecordedDraw draw;
    draw.vertexCount = vertices.size();
    if (keepVertices) {
        draw.vertices.assign(vertices.begin(), vertices.end());
    }
    draw.lines = lines;
    std::copy_n(state.projection, 16, draw.projection.begin());
    draw.depthTest = state.depthTest;
    draw.fog = state.fog;
    draw.fogDensity = state.fogDensity;
    recordedDraws().push_back(draw);
}

// renderFrame's swap; the scene tests call drawFrame, which has none.
BOOL SwapBuffers(HDC) {
    return TRUE;
}
