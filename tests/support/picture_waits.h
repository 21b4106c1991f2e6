// Waits on a stream of pictures, shot() taking the next one (empty when it
// cannot be read): the first that passes a test, one that holds still, or
// no change at all over a period.
#pragma once

#include <chrono>
#include <optional>

#include "tests/support/rgb_image.h"
#include "tests/support/wait_for.h"

template <typename Shot, typename Accept>
std::optional<RgbImage> waitForPicture(Shot shot, Accept accept, std::chrono::milliseconds deadline,
                                       std::chrono::milliseconds interval) {
    return waitForValue(
        [&]() -> std::optional<RgbImage> {
            RgbImage now = shot();
            if (now.empty() || !accept(now)) {
                return std::nullopt;
            }
            return now;
        },
        deadline, interval);
}

template <typename Shot>
std::optional<RgbImage> waitForStillPicture(Shot shot, std::chrono::milliseconds quiet,
                                            std::chrono::milliseconds deadline) {
    return waitForSteady(
        shot, [](const RgbImage& last, const RgbImage& now) { return !now.empty() && now == last; },
        quiet, deadline, std::chrono::milliseconds(20));
}

// Watching for a change over a fixed period: only a change ends it early.
template <typename Shot>
bool pictureStaysTheSame(Shot shot, const RgbImage& image, std::chrono::milliseconds period) {
    return !waitFor([&] { return shot() != image; }, period, std::chrono::milliseconds(20));
}
