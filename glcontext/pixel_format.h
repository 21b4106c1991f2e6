// Pixel format, palette and the colour ramp behind it.
#pragma once

#include "platform/platform.h"

// The whole request; every field not set here is 0, "no preference".
// Inline so that the window-system tests can ask for exactly this format.
inline PIXELFORMATDESCRIPTOR pixelFormatRequest() {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 8;
    request.cDepthBits = 16;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

// Chooses and sets the closest double-buffered RGBA format with a depth
// buffer. Returns only on success: on failure it shows an error box and ends
// the process with status 1.
void choosePixelFormat(HDC deviceContext);

// Builds, selects and realises a palette when the format set on the device
// context needs one; stores it in viewer.palette. Otherwise leaves it null.
void setupPalette(HDC deviceContext);

// Entries of the colour ramp for a palette-based format: 2^colourBits, or 0
// when the layout cannot be filled sensibly (see the definition for which).
int paletteEntryCount(const PIXELFORMATDESCRIPTOR& format);

// The evenly spread colour ramp, as pure data: fills paletteEntryCount(format)
// entries. Writing into the caller's buffer keeps the palette buffer the only
// allocation.
void paletteRamp(const PIXELFORMATDESCRIPTOR& format, PALETTEENTRY* entries);
