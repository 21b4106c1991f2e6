// What the tests read from a screenshot of the viewer: the background colour
// and which pixels the model covers.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/rgb_image.h"

inline constexpr Rgb kPlainBackground{38, 38, 38};  // 0.15 of 255
inline constexpr Rgb kFogBackground{51, 38, 38};    // 0.2, 0.15, 0.15 of 255

// One byte per pixel, 1 where the model is.
using PixelMask = std::vector<std::uint8_t>;

// The commonest colour along the four edges: the model never fills them.
Rgb edgeColour(const RgbImage& image);
bool hasBackground(const RgbImage& image, Rgb expected, int tolerance = 1);

// Pixels that differ from the background by more than rounding.
PixelMask modelMask(const RgbImage& image, Rgb background);
int countSet(const PixelMask& mask);
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = -1;  // inclusive; right < left when nothing was found
    int bottom = -1;
    bool empty() const { return right < left; }
};

// The box around the dark pixels (text and frames) of the lower half of a
// message box: its OK button.
PixelBox lowerDarkPixels(const RgbImage& image);
// Pixels far from grey: colour pictures such as an icon, not text or frames.
int countColourful(const RgbImage& image);

// Intersection over union of two masks of the same size; 0 when both empty.
double overlap(const PixelMask& a, const PixelMask& b);
