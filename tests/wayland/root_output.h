// A nested compositor's output as its private X server's root window shows
// it: pictures, an area once it holds still, and pictures kept for a person
// when a test fails.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/support/image_file.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/wayland/viewer_area.h"

class RootOutput {
public:
    RootOutput(Display* display, int width, int height, std::string prefix)
        : display_(display), width_(width), height_(height), prefix_(std::move(prefix)) {}

    std::optional<RgbImage> shot() const {
        return captureArea(display_, DefaultRootWindow(display_), 0, 0, width_, height_);
    }

    // Once it has held still for a second, through opening animations.
    std::optional<Area> waitForArea(Rgb colour, int square) const {
        using namespace std::chrono_literals;
        const auto same = [](const std::optional<Area>& a, const std::optional<Area>& b) {
            return a && b && a->x == b->x && a->y == b->y && a->width == b->width &&
                   a->height == b->height;
        };
        const auto area = waitForSteady(
            [&]() -> std::optional<Area> {
                const auto picture = shot();
                return picture ? filledCorners(*picture, colour, square) : std::nullopt;
            },
            same, 1s, 60s, 100ms);
        return area ? *area : std::nullopt;
    }

    std::string keep(const std::string& name) const {
        const auto picture = shot();
        const std::string path = prefix_ + "-" + name + ".png";
        return picture && savePng(*picture, path) ? " (kept " + path + ")" : "";
    }

private:
    Display* display_;
    int width_;
    int height_;
    std::string prefix_;
};
