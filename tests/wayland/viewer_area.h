// Where weston placed the viewer: found in a picture of weston's output,
// and moved where its title bar can be clicked.
#pragma once

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "tests/support/rgb_image.h"
#include "tests/support/xtest_input.h"

// weston's panel takes the input of the output's top 32 pixels, above any
// window; weston places a window's content below it, but its title bar
// may be partly under the panel.
constexpr int kWestonPanelHeight = 32;

// The notice's face and ink, and the viewer's clear colour, as drawn.
constexpr Rgb kBoxFace{236, 236, 236};
constexpr Rgb kBoxInk{0, 0, 0};
constexpr Rgb kViewerBackground{38, 38, 38};

// Pixels within ±2 a channel of the colour.
inline int countNear(const RgbImage& image, Rgb colour) {
    int count = 0;
    for (const Rgb& pixel : image.pixels) {
        count += nearColour(pixel, colour, 2) ? 1 : 0;
    }
    return count;
}

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
};

// The rectangle whose top-left and bottom-right squares of this side are
// filled with the colour, the first such squares from either end. The
// viewer's clear colour fills its corners; weston's panel, in similar greys,
// is too low for a 40-pixel square.
inline std::optional<Area> filledCorners(const RgbImage& image, Rgb colour, int square = 40) {
    const auto filled = [&](int left, int top) {
        for (int y = top; y < top + square; ++y) {
            for (int x = left; x < left + square; ++x) {
                if (!nearColour(image.at(x, y), colour, 2)) {
                    return false;
                }
            }
        }
        return true;
    };
    const int w = image.width - square + 1;
    const int h = image.height - square + 1;
    const auto first = [&](auto position) -> std::optional<std::pair<int, int>> {
        for (int i = 0; w > 0 && h > 0 && i < w * h; ++i) {
            const auto [x, y] = position(i);
            if (filled(x, y)) {
                return std::pair{x, y};
            }
        }
        return std::nullopt;
    };
    const auto topLeft = first([&](int i) { return std::pair{i % w, i / w}; });
    const auto bottomRight = first([&](int i) { return std::pair{w - 1 - i % w, h - 1 - i / w}; });
    if (!topLeft || !bottomRight || bottomRight->first < topLeft->first ||
        bottomRight->second < topLeft->second) {
        return std::nullopt;
    }
    return Area{topLeft->first, topLeft->second, bottomRight->first + square - topLeft->first,
                bottomRight->second + square - topLeft->second};
}

// weston moves its pointer by the X pointer's relative motion: a move from
// the output's far corner to the near one pins it at (0, 0).
inline void alignWestonPointer(Display* display, int outputWidth, int outputHeight) {
    movePointer(display, outputWidth - 1, outputHeight - 1);
    movePointer(display, 0, 0);
}

// weston's Super+drag moves the window (the program sees no click) until
// its content's top is at this row; true when the drag was made.
inline bool dragViewerToRow(Display* display, const Area& area, int top, int outputWidth,
                            int outputHeight) {
    alignWestonPointer(display, outputWidth, outputHeight);
    const int x = area.x + area.width / 2;
    const int y = area.y + area.height / 2;
    if (y + top - area.y <= 0 || y + top - area.y >= outputHeight) {
        return false;
    }
    movePointer(display, x, y);
    pressKey(display, XK_Super_L);
    pressButton(display);
    movePointer(display, x, y + (top - area.y) / 2);
    movePointer(display, x, y + top - area.y);
    releaseButton(display);
    releaseKey(display, XK_Super_L);
    return true;
}

inline int largestChannelStep(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Steps from the background straight to a far colour inside the aligned
// pairs of pixels (0-1, 2-3, ... across and down). A picture upscaled from
// half the resolution has none: nearest makes each pair one pixel twice,
// bilinear goes at most a quarter of the way inside a pair.
inline int hardStepsInsidePairs(const RgbImage& image, Rgb background, int step) {
    const auto hard = [&](Rgb a, Rgb b) {
        return (nearColour(a, background, 2) && largestChannelStep(b, background) >= step) ||
               (nearColour(b, background, 2) && largestChannelStep(a, background) >= step);
    };
    int count = 0;
    for (int y = 0; y + 1 < image.height; ++y) {
        for (int x = 0; x + 1 < image.width; ++x) {
            count += (x % 2 == 0 && hard(image.at(x, y), image.at(x + 1, y))) ? 1 : 0;
            count += (y % 2 == 0 && hard(image.at(x, y), image.at(x, y + 1))) ? 1 : 0;
        }
    }
    return count;
}

inline RgbImage cropped(const RgbImage& image, const Area& area) {
    RgbImage part{area.width, area.height, {}};
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            part.pixels.push_back(image.at(x, y));
        }
    }
    return part;
}
