// Waiting for a condition with a deadline, polling, instead of sleeping a
// fixed time and hoping.
#pragma once

#include <chrono>
#include <optional>
#include <thread>

// True as soon as condition() holds; false if the deadline passes first.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds deadline,
             std::chrono::milliseconds interval = std::chrono::milliseconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
}

// The first value that probe() yields within the deadline.
template <typename Probe>
auto waitForValue(Probe probe, std::chrono::milliseconds deadline,
                  std::chrono::milliseconds interval = std::chrono::milliseconds(10))
    -> decltype(probe()) {
    decltype(probe()) value;
    waitFor([&] { return (value = probe()).has_value(); }, deadline, interval);
    return value;
}

// The value that probe() keeps, as judged by same(earlier, now), for the
// whole quiet time within the deadline; nothing if it never settles.
template <typename Probe, typename Same>
auto waitForSteady(Probe probe, Same same, std::chrono::milliseconds quiet,
                   std::chrono::milliseconds deadline, std::chrono::milliseconds interval)
    -> std::optional<decltype(probe())> {
    auto last = probe();
    auto since = std::chrono::steady_clock::now();
    std::optional<decltype(probe())> steady;
    waitFor(
        [&] {
            auto now = probe();
            const auto time = std::chrono::steady_clock::now();
            if (!same(last, now)) {
                last = std::move(now);
                since = time;
                return false;
            }
            if (time - since >= quiet) {
                steady = std::move(last);
                return true;
            }
            return false;
        },
        deadline, interval);
    return steady;
}
