// The one record of the viewer's mutable state. Every handler reads and
// writes it directly; nothing else remembers anything between messages.
#pragma once

#include <cstdint>

#include "model/surface_model.h"
#include "platform/platform.h"

using IdleHook = void (*)();

struct ViewerState {
    std::int32_t windowX = 50;
    std::int32_t windowY = 50;
    std::int32_t windowWidth = 0;  // set at start-up from the screen height
    std::int32_t windowHeight = 0;
    HDC deviceContext = nullptr;
    HGLRC renderContext = nullptr;
    HPALETTE palette = nullptr;
    IdleHook idleHook = nullptr;
    float spinAngle = 2.0f;
    Vec3 spinAxis = {0.3f, 0.2f, 0.4f};
    std::int32_t spinEnabled = 1;
    std::int32_t keepAnimating = 1;
    float modelRotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::int32_t dragging = 0;
    std::int32_t dragStartX = 0;
    std::int32_t dragStartY = 0;
    Vec3 lastBallVector = {0.0f, 0.0f, 0.0f};
    std::int32_t fogEnabled = 0;
    std::int32_t wireframe = 0;
};

extern ViewerState viewer;

inline constexpr const char* kWindowClassName = "OpenGL";
inline constexpr const char* kWindowCaption = " Morvane";
inline constexpr int kIconResourceId = 101;
