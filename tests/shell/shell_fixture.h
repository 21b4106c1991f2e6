// A fresh fake platform, scene and viewer state for every test, and the
// steps most shell tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "app/shell.h"
#include "app/viewer_state.h"
#include "platform/fake/fake_platform.h"
#include "tests/shell/fake_scene.h"

class ShellTest : public ::testing::Test {
protected:
    static inline const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

    void SetUp() override {
        resetFakePlatform();
        resetFakeScene();
        viewer = ViewerState{};
    }

    // The whole program, as the platform's start-up code runs it.
    static int runWinMain(int showCommand = SW_SHOWNORMAL) {
        char commandLine[] = "ignored";
        return WinMain(kInstance, nullptr, commandLine, showCommand);
    }

    // The window of the program, created with its real procedure but not yet
    // shown, and a clean record. For tests of single handlers.
    static void openWindow(int side = 864) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = windowProc;
        windowClass.lpszClassName = kWindowClassName;
        RegisterClassA(&windowClass);
        viewer.windowWidth = side;
        viewer.windowHeight = side;
        CreateWindowExA(0, kWindowClassName, kWindowCaption, WS_OVERLAPPEDWINDOW, 50, 50, side,
                        side, nullptr, nullptr, kInstance, nullptr);
        fake.calls.clear();
    }

    // Runs the real main loop until it would wait with nothing to wait for;
    // returns the number of frames drawn meanwhile.
    static int runUntilIdle() {
        const auto before = fakeFrames.size();
        runMainLoop();
        EXPECT_FALSE(fake.calls.empty());
        if (!fake.calls.empty()) {
            EXPECT_EQ(fake.calls.back().name, "queueRanDry") << "the loop did not end idle";
        }
        return static_cast<int>(fakeFrames.size() - before);
    }

    // Lets the model animate for `frames` frames, then presses Esc.
    static void escapeAfterFrames(int frames) {
        afterFakeFrame = [frames](int drawn) {
            if (drawn == frames) {
                fakePostKey(27);
            }
        };
    }
};
