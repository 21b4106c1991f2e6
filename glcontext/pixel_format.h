// Pixel format, palette and the colour ramp behind it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// Chooses and sets the closest double-buffered RGBA format with a depth
// buffer. Returns only on success: on failure it shows an error box and ends
// the process with status 1.
void choosePixelFormat(HDC deviceContext);

// Builds, selects and realises a palette when the format set on the device
// context needs one; stores it in viewer.palette. Otherwise leaves it null.
void setupPalette(HDC deviceContext);

// The evenly spread colour ramp for a palette-based format, as pure data.
// Returns no entries when the layout cannot be filled sensibly (see the
// definition for which layouts those are).
std::vector<PALETTEENTRY> paletteRamp(const PIXELFORMATDESCRIPTOR& format);
