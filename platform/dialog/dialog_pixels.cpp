// Plain pixel operations on a box's picture.
//
// Depends on: nothing but the standard library.
// Cannot: gamma-correct blending (mixes in sRGB values, as most toolkits do).
#include "platform/dialog/dialog_pixels.h"

#include <algorithm>

DialogPixels makeDialogPixels(int width, int height, std::uint32_t fill) {
    DialogPixels pixels;
    pixels.width = std::max(0, width);
    pixels.height = std::max(0, height);
    pixels.xrgb.assign(static_cast<std::size_t>(pixels.width) * pixels.height, fill);
    return pixels;
}

void blendPixel(DialogPixels& pixels, int x, int y, std::uint32_t colour, int coverage) {
    if (x < 0 || y < 0 || x >= pixels.width || y >= pixels.height || coverage <= 0) {
        return;
    }
    std::uint32_t& pixel = pixels.xrgb[static_cast<std::size_t>(y) * pixels.width + x];
    if (pixels.hardEdges) {
        pixel = coverage >= 128 ? colour : pixel;
        return;
    }
    const unsigned a = static_cast<unsigned>(std::min(coverage, 255));
    std::uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const unsigned under = (pixel >> shift) & 0xff;
        const unsigned over = (colour >> shift) & 0xff;
        const unsigned channel = (over * a + under * (255 - a) + 127) / 255;
        mixed |= channel << shift;
    }
    pixel = mixed;
}

void fillDialogRect(DialogPixels& pixels, const DialogRect& rect, std::uint32_t colour) {
    const int left = std::max(0, rect.x);
    const int top = std::max(0, rect.y);
    const int right = std::min(pixels.width, rect.x + rect.width);
    const int bottom = std::min(pixels.height, rect.y + rect.height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            pixels.xrgb[static_cast<std::size_t>(y) * pixels.width + x] = colour;
        }
    }
}
