#include "tests/wine/viewer_screen.h"

#include <cstdio>
#include <map>
#include <thread>
#include <tuple>

#include "tests/support/wait_for.h"

bool showsFrame(const Image& client) {
    if (client.width < 2 || client.height < 2) {
        return false;
    }
    const int right = client.width - 1;
    const int bottom = client.height - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}}) {
        const Rgb& p = client.at(x, y);
        if (!near(p, kBackground) && !near(p, kFogBackground)) {
            return false;
        }
    }
    return true;
}

long modelPixels(const Image& client) {
    long count = 0;
    for (const Rgb& p : client.pixels) {
        if (!near(p, kBackground) && !near(p, kFogBackground)) {
            ++count;
        }
    }
    return count;
}

bool waitForStill(const TestDesktop& desktop, const Rect& area, Image& still,
                  std::chrono::milliseconds deadline) {
    // A quiet time far above the longest gap between frames seen under load
    // (about 110 ms): a slow Wine must not pass for a stopped model.
    const auto steady = waitForSteady(
        [&] { return desktop.capture(area); },
        [](const Image& last, const Image& now) { return differingPixels(last, now) == 0; },
        std::chrono::seconds(1), deadline, std::chrono::milliseconds(50));
    if (steady) {
        still = *steady;
    }
    return steady.has_value();
}

bool staysStill(const TestDesktop& desktop, const Rect& area, const Image& still) {
    // A turning model changes the picture on every frame, many times in this span.
    for (int i = 0; i < 6; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (differingPixels(still, desktop.capture(area)) != 0) {
            return false;
        }
    }
    return true;
}

std::optional<std::pair<int, int>> closeBoxCentre(const Image& window, int captionBottom) {
    if (captionBottom < 4 || captionBottom >= window.height) {
        return std::nullopt;
    }
    const int row = captionBottom / 2;
    // The caption's own colour is the commonest in its middle row.
    std::map<std::tuple<int, int, int>, int> counts;
    for (int x = 0; x < window.width; ++x) {
        const Rgb& p = window.at(x, row);
        ++counts[{p.r, p.g, p.b}];
    }
    auto commonest = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it->second > commonest->second) {
            commonest = it;
        }
    }
    const auto [cr, cg, cb] = commonest->first;
    const Rgb caption{cr, cg, cb};
    // From the right: skip the frame, then take the first run of button pixels.
    int x = window.width - 1;
    while (x > 0 && !near(window.at(x, row), caption)) {
        --x;
    }
    while (x > 0 && near(window.at(x, row), caption)) {
        --x;
    }
    const int runRight = x;
    while (x > 0 && !near(window.at(x, row), caption)) {
        --x;
    }
    const int runLeft = x + 1;
    if (runRight - runLeft < 7) {
        return std::nullopt;
    }
    return std::pair{(runLeft + runRight) / 2, row};
}

long errorIconPixels(const Image& box) {
    long count = 0;
    for (const Rgb& p : box.pixels) {
        if (p.r > 150 && p.g < 90 && p.b < 90) {
            ++count;
        }
    }
    return count;
}

bool writePpm(const Image& image, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", image.width, image.height);
    for (const Rgb& p : image.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p.r),
                                      static_cast<unsigned char>(p.g),
                                      static_cast<unsigned char>(p.b)};
        std::fwrite(rgb, 1, 3, file);
    }
    return std::fclose(file) == 0;
}
