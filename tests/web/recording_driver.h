// A stand-in for the WebGL driver that keeps what the layer hands over.
#pragma once

#include <array>
#include <vector>

#include "platform/web/gl/webgl_driver.h"

struct RecordedDraw {
    std::size_t vertexCount = 0;
    std::vector<LitVertex> vertices;  // empty unless vertices are kept
    bool lines = false;
    std::array<float, 16> projection{};
    bool depthTest = false;
    bool fog = false;
    float fogDensity = 0;
};

// Every draw since the last clear of the record.
std::vector<RecordedDraw>& recordedDraws();
// Whether draws keep their vertices (by default) or only count them, as a
// benchmark wants: copying them would cost more than making them.
void keepRecordedVertices(bool keep);
