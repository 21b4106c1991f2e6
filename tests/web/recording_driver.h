// A stand-in for the WebGL driver that keeps what the layer hands over.
#pragma once

#include <array>
#include <vector>

#include "platform/web/gl/webgl_driver.h"

struct RecordedDraw {
    std::vector<LitVertex> vertices;
    bool lines = false;
    std::array<float, 16> projection{};
    bool depthTest = false;
    bool fog = false;
    float fogDensity = 0;
};

// Every draw since the last clear of the record.
std::vector<RecordedDraw>& recordedDraws();
