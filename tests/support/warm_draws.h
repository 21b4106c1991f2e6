// Draws that the warm-up's tests register, run on its helper thread: one
// that counts and leaves a mark in the context, and one that stands in for
// a long shader compile, lasting until the test lets it end (or a deadline
// passes, so that a broken box cannot hang the test).
#pragma once

#include <GL/gl.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/wait_for.h"

struct WarmDraws {
    std::atomic<int> count{0};
    std::thread::id thread;  // where the last counting draw ran
    std::atomic<bool> started{false};
    std::atomic<bool> mayEnd{false};
    std::atomic<bool> ended{false};
};

inline WarmDraws warmDraws;

inline void resetWarmDraws() {
    warmDraws.count = 0;
    warmDraws.thread = {};
    warmDraws.started = false;
    warmDraws.mayEnd = false;
    warmDraws.ended = false;
}

// Clears to a colour the test reads back from the context afterwards.
inline void countingDraw() {
    warmDraws.thread = std::this_thread::get_id();
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ++warmDraws.count;
}

inline void slowDraw() {
    warmDraws.started = true;
    waitFor([] { return warmDraws.mayEnd.load(); }, std::chrono::milliseconds(10000));
    warmDraws.ended = true;
}
