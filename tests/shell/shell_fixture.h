// A fresh core over the scripted backend, a fresh fake scene and viewer
// state for every test, and the steps most shell tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/shell.h"
#include "app/viewer_state.h"
#include "tests/shell/fake_scene.h"
#include "tests/support/scripted_backend.h"

// The program's window procedure, behind a recorder of what it hears; the
// core itself calls procedures directly, so only this shows deliveries.
inline LRESULT CALLBACK recordedWindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    scriptedLog("windowProc", message, wParam, lParam);
    return windowProc(window, message, wParam, lParam);
}

class ShellTest : public ::testing::Test {
protected:
    static inline const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

    void SetUp() override {
        resetScriptedBackend();
        resetFakeScene();
        viewer = ViewerState{};
    }
    void TearDown() override { coreReset(); }

    // The whole program, as the platform's start-up code runs it.
    static int runWinMain(int showCommand = SW_SHOWNORMAL) {
        char commandLine[] = "ignored";
        return WinMain(kInstance, nullptr, commandLine, showCommand);
    }

    // The program's window, created with its real procedure (recorded) and
    // shown with its first paint already taken, so that every frame drawn
    // later was asked for by the test; and a clean record.
    static HWND openWindow(int side = 864) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = recordedWindowProc;
        windowClass.lpszClassName = kWindowClassName;
        RegisterClassA(&windowClass);
        viewer.windowWidth = side;
        viewer.windowHeight = side;
        const HWND window =
            CreateWindowExA(0, kWindowClassName, kWindowCaption, WS_OVERLAPPEDWINDOW, 50, 50, side,
                            side, nullptr, nullptr, kInstance, nullptr);
        ShowWindow(window, SW_SHOW);
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        scripted.calls.clear();
        return window;
    }

    static HWND programWindow() { return scriptedWindowHandle(); }

    // Sends straight to the window procedure, as the system does.
    static LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        WindowRecord* record = scriptedWindow();
        return record != nullptr ? coreSend(*record, message, wParam, lParam) : 0;
    }

    // The messages of one kind the window procedure heard since the window
    // opened (openWindow's windows only).
    static int heard(UINT message) {
        int count = 0;
        for (const ScriptedCall& call : scriptedCallsNamed("windowProc")) {
            count += call.args.at(0) == static_cast<std::intptr_t>(message) ? 1 : 0;
        }
        return count;
    }

    // Runs the real main loop until it would wait with nothing to wait for;
    // returns the number of frames drawn meanwhile.
    static int runUntilIdle() {
        const auto before = fakeFrames.size();
        runMainLoop();
        EXPECT_FALSE(scripted.calls.empty());
        if (!scripted.calls.empty()) {
            EXPECT_EQ(scripted.calls.back().name, "queueRanDry") << "the loop did not end idle";
        }
        return static_cast<int>(fakeFrames.size() - before);
    }

    // Lets the model animate for `frames` frames, then presses Esc.
    static void escapeAfterFrames(int frames) {
        afterFakeFrame = [frames](int drawn) {
            if (drawn == frames) {
                scriptedPostKey(27);
            }
        };
    }
};
