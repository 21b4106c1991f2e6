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
