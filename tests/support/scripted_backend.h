// A backend of the real core with no display, for unit tests: it records
// each backend entry the core calls, in order, answers with what the test
// set, and plays scripted input and window-system events into the core's
// queue as the X11 and Wayland backends do (corePost, coreReportSize).
// The Win32 rules themselves stay the core's.
//
// Depends on: the core (platform/core.h) and the standard library.
// Cannot: draw, or block; a wait with nothing scripted fails, and a loop
// that never ends is stopped with kRunawayExitCode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/core.h"
#include "tests/support/pixel_formats.h"

// One backend entry the core called, or one event a test double logged.
// Handles and integers go to args in parameter order; strings to texts.
struct ScriptedCall {
    std::string name;
    std::vector<std::intptr_t> args;
    std::vector<std::string> texts;
};

struct ScriptedBackend {
    // Settings: tests change them before the code under test runs.
    int screenWidth = 1920;
    int screenHeight = 1080;
    int chosenFormat = 1;  // ChoosePixelFormat's answer; 0 = no match
    int formatCount = 1;
    bool formatCanBeSet = true;  // whether a window can be made for a format
    PIXELFORMATDESCRIPTOR format = testTrueColourFormat();  // every format's description
    bool contextCreationSucceeds = true;
    bool warmContextSucceeds = true;  // the warm-up's answer: kWarmContextMarker + format
    int messageBoxAnswer = IDOK;
    bool echoMessageBoxes = false;  // also print them to stderr (death tests)
    // What a sleep of GetMessageA brings: the hook may post or change the
    // window and answers whether anything came. Without one, the wait fails.
    std::function<bool()> whenQueueRunsDry;
    // Looks at the queue allowed before the backend clears it and posts
    // WM_QUIT with kRunawayExitCode, so that a runaway loop fails, not hangs.
    int queueLookLimit = 20000;

    // What happened.
    std::vector<ScriptedCall> calls;
    PIXELFORMATDESCRIPTOR formatRequest{};  // of the last ChoosePixelFormat
    HGLRC currentContext = nullptr;
    int contextsMade = 0;
    int queueLooks = 0;
};

inline constexpr int kRunawayExitCode = 0x7ead;
inline constexpr std::uintptr_t kWarmContextMarker = 0x77000000u;

extern ScriptedBackend scripted;
extern const PlatformBackend scriptedBackend;

// A fresh core over a fresh scripted backend: default settings, no window,
// empty queue and record.
void resetScriptedBackend();

// Lets test doubles of other modules log into the same ordered record.
void scriptedRecord(std::string name, std::vector<std::intptr_t> args = {},
                    std::vector<std::string> texts = {});

template <typename T>
std::intptr_t scriptedArg(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<std::intptr_t>(value);
    } else {
        return static_cast<std::intptr_t>(value);
    }
}

template <typename... T>
void scriptedLog(const char* name, T... values) {
    scriptedRecord(name, {scriptedArg(values)...});
}

// The newest window that is still alive, or null; the controls below act
// on it.
WindowRecord* scriptedWindow();
HWND scriptedWindowHandle();

// Input as the window system delivers it, into the core's queue.
void scriptedPost(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// A key press that types `character` (27 for Esc): wParam is the virtual
// key (the upper-case letter), and the character rides in lPrivate, where
// TranslateMessage asks the backend for it.
void scriptedPostKey(char character);
void scriptedPostMouse(UINT message, int x, int y);

// Outside events: the window manager resizes the window (WM_SIZE follows
// through the queue), part of it is uncovered, or it is minimised or
// restored (a restore owes a paint, which wakes a waiting loop).
void scriptedResizeFromOutside(int width, int height);
void scriptedInvalidate();
void scriptedSetIconic(bool iconic);

// Queries of the record.
std::vector<std::string> scriptedCallNames();
std::vector<ScriptedCall> scriptedCallsNamed(const std::string& name);
int scriptedCount(const std::string& name);
