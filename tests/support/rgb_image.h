// A picture as 8-bit RGB triples, row by row from the top left.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// True when every channel is within tolerance of the other colour's.
inline bool nearColour(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    bool empty() const { return pixels.empty(); }
    Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const RgbImage&) const = default;
};
