// Pixel formats that tests give DescribePixelFormat: 24-bit true colour, or
// 8-bit 3-3-2 RGBA that needs a palette. Header-only, so tests with their own
// stand-ins for the platform can use them without linking a backend.
#pragma once

#include "platform/platform.h"

inline PIXELFORMATDESCRIPTOR testTrueColourFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(format);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cRedBits = 8;
    format.cRedShift = 16;
    format.cGreenBits = 8;
    format.cGreenShift = 8;
    format.cBlueBits = 8;
    format.cBlueShift = 0;
    format.cDepthBits = 16;
    return format;
}

inline PIXELFORMATDESCRIPTOR testPaletteFormat() {
    PIXELFORMATDESCRIPTOR format = testTrueColourFormat();
    format.dwFlags |= PFD_NEED_PALETTE;
    format.cColorBits = 8;
    format.cRedBits = 3;
    format.cRedShift = 0;
    format.cGreenBits = 3;
    format.cGreenShift = 3;
    format.cBlueBits = 2;
    format.cBlueShift = 6;
    return format;
}
