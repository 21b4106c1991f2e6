// A picture of a message box as 32-bit xRGB words (0x00RRGGBB), row by row,
// which a window-system layer copies to the screen as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dialog/dialog_layout.h"

struct DialogPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> xrgb;
    // Each pixel fully one colour or the other, for screens with a colour
    // map that has no room for the shades between.
    bool hardEdges = false;
};

DialogPixels makeDialogPixels(int width, int height, std::uint32_t fill);

// Mixes colour into the pixel at (x, y) by coverage 0..255, or with hard
// edges sets it where the coverage is at least half; outside is ignored.
void blendPixel(DialogPixels& pixels, int x, int y, std::uint32_t colour, int coverage);
void fillDialogRect(DialogPixels& pixels, const DialogRect& rect, std::uint32_t colour);

inline constexpr std::uint32_t dialogRgb(unsigned r, unsigned g, unsigned b) {
    return (r << 16) | (g << 8) | b;
}
