// Where weston placed the viewer: found in a picture of weston's output.
#pragma once

#include <optional>
#include <utility>

#include "tests/support/rgb_image.h"

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
