#include "tests/e2e/frame_analysis.h"

#include <algorithm>
#include <map>
#include <tuple>

Rgb edgeColour(const RgbImage& image) {
    std::map<std::tuple<int, int, int>, int> counts;
    auto add = [&](int x, int y) {
        const Rgb p = image.at(x, y);
        ++counts[{p.r, p.g, p.b}];
    };
    for (int x = 0; x < image.width; ++x) {
        add(x, 0);
        add(x, image.height - 1);
    }
    for (int y = 0; y < image.height; ++y) {
        add(0, y);
        add(image.width - 1, y);
    }
    std::tuple<int, int, int> best{};
    int bestCount = -1;
    for (const auto& [colour, count] : counts) {
        if (count > bestCount) {
            best = colour;
            bestCount = count;
        }
    }
    return {static_cast<std::uint8_t>(std::get<0>(best)),
            static_cast<std::uint8_t>(std::get<1>(best)),
            static_cast<std::uint8_t>(std::get<2>(best))};
}

bool hasBackground(const RgbImage& image, Rgb expected, int tolerance) {
    return !image.empty() && nearColour(edgeColour(image), expected, tolerance);
}

PixelMask modelMask(const RgbImage& image, Rgb background) {
    PixelMask mask(image.pixels.size());
    for (size_t i = 0; i < mask.size(); ++i) {
        mask[i] = nearColour(image.pixels[i], background, 2) ? 0 : 1;
    }
    return mask;
}

int countSet(const PixelMask& mask) {
    int count = 0;
    for (auto bit : mask) {
        count += bit;
    }
    return count;
}

double overlap(const PixelMask& a, const PixelMask& b) {
    int both = 0;
    int either = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        both += a[i] & b[i];
        either += a[i] | b[i];
    }
    return either == 0 ? 0.0 : static_cast<double>(both) / either;
}

PixelBox lowerDarkPixels(const RgbImage& image) {
    PixelBox box{image.width, image.height, -1, -1};
    for (int y = image.height / 2; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb p = image.at(x, y);
            if (p.r < 80 && p.g < 80 && p.b < 80) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box;
}

int countColourful(const RgbImage& image) {
    int count = 0;
    for (const Rgb& p : image.pixels) {
        const int high = std::max({p.r, p.g, p.b});
        const int low = std::min({p.r, p.g, p.b});
        count += high - low > 100 ? 1 : 0;
    }
    return count;
}
