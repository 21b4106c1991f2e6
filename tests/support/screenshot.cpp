#include "tests/support/screenshot.h"

#include <X11/Xutil.h>

#include <bit>
#include <cstring>

namespace {

// Scales the bits of one channel under its mask to 0..255.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const unsigned long maximum = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

RgbImage convert(XImage* image) {
    RgbImage result;
    result.width = image->width;
    result.height = image->height;
    result.pixels.resize(static_cast<size_t>(image->width) * image->height);
    // 32-bit pixels in host order are read directly: XGetPixel per pixel is
    // slow enough to blur the timing of benchmark polls.
    const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    for (int y = 0; y < image->height; ++y) {
        const char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
        for (int x = 0; x < image->width; ++x) {
            std::uint32_t word = 0;
            if (direct) {
                std::memcpy(&word, row + 4 * static_cast<size_t>(x), 4);
            }
            const unsigned long pixel = direct ? word : XGetPixel(image, x, y);
            result.pixels[static_cast<size_t>(y) * image->width + x] = {
                channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                channel(pixel, image->blue_mask)};
        }
    }
    return result;
}

}  // namespace

std::optional<RgbImage> captureArea(Display* display, Window window, int x, int y, int width,
                                    int height) {
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return std::nullopt;
    }
    RgbImage result = convert(image);
    XDestroyImage(image);
    return result;
}

std::optional<RgbImage> captureWindow(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        return std::nullopt;
    }
    return captureArea(display, window, 0, 0, attributes.width, attributes.height);
}

std::optional<RgbImage> capturePixmap(Display* display, Pixmap pixmap, int width, int height) {
    XImage* image = XGetImage(display, pixmap, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return std::nullopt;
    }
    const Visual* visual = DefaultVisual(display, DefaultScreen(display));
    image->red_mask = visual->red_mask;
    image->green_mask = visual->green_mask;
    image->blue_mask = visual->blue_mask;
    RgbImage result = convert(image);
    XDestroyImage(image);
    return result;
}
