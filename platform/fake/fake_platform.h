// Test controls of the fake platform: a display-less implementation of
// platform/winapi.h that records every call it receives and plays scripted
// messages into the real window procedure and main loop. Depends on the
// standard library only; it draws nothing and knows a single window.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/fake/fake_formats.h"
#include "platform/platform.h"

// One call received by the fake, or one message it delivered to the window
// procedure (name "windowProc", args: message, wParam, lParam). Handles and
// integers go to args in parameter order; string parameters go to texts.
struct FakeCall {
    std::string name;
    std::vector<std::intptr_t> args;
    std::vector<std::string> texts;
};

// The handles the fake hands out; there is only ever one of each.
inline const HWND kFakeWindow = reinterpret_cast<HWND>(std::uintptr_t{0x1000});
inline const HDC kFakeDeviceContext = reinterpret_cast<HDC>(std::uintptr_t{0x2000});
inline const HGLRC kFakeRenderContext = reinterpret_cast<HGLRC>(std::uintptr_t{0x3000});
inline const HPALETTE kFakePalette = reinterpret_cast<HPALETTE>(std::uintptr_t{0x4000});
inline const HICON kFakeIcon = reinterpret_cast<HICON>(std::uintptr_t{0x5000});
inline const HCURSOR kFakeCursor = reinterpret_cast<HCURSOR>(std::uintptr_t{0x6000});

struct FakePlatform {
    // Settings: tests change them before the code under test runs.
    int screenWidth = 1920;
    int screenHeight = 1080;
    int choosePixelFormatResult = 1;
    BOOL setPixelFormatResult = TRUE;
    PIXELFORMATDESCRIPTOR pixelFormat = fakeTrueColourFormat();  // DescribePixelFormat's answer
    bool contextCreationSucceeds = true;
    bool paletteCreationSucceeds = true;
    bool echoMessageBoxes = false;  // also print them to stderr (death tests)
    // Called when GetMessageA finds nothing to return; it may post more.
    std::function<void()> whenQueueRunsDry;
    // Looks at the queue (peeks and waits) allowed before the fake answers
    // WM_QUIT with kRunawayExitCode, so that a loop that never ends fails the
    // test instead of hanging it.
    int queueLookLimit = 20000;
    // What IsIconic answers for the window (minimised, or unmapped).
    bool windowIconic = false;

    // What happened.
    std::vector<FakeCall> calls;
    std::vector<PALETTEENTRY> paletteEntries;    // of the last CreatePalette
    PIXELFORMATDESCRIPTOR pixelFormatRequest{};  // of the last ChoosePixelFormat
    WNDCLASSA windowClass{};
    std::string windowClassName;
    bool classRegistered = false;
    bool windowExists = false;
    bool windowDestroyed = false;
    bool windowVisible = false;
    bool needsPaint = false;
    int windowWidth = 0;
    int windowHeight = 0;
    HWND capture = nullptr;
    HGLRC currentContext = nullptr;
    int setFormat = 0;
    int queueLooks = 0;
    int sendDepth = 0;

    // The queue: posted and input messages, then the quit flag.
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
};

inline constexpr int kRunawayExitCode = 0x7ead;

extern FakePlatform fake;

// Back to a fresh platform: default settings, no window, empty queue and log.
void resetFakePlatform();

// Lets test doubles of other modules log into the same ordered record.
void fakeRecord(std::string name, std::vector<std::intptr_t> args = {},
                std::vector<std::string> texts = {});

template <typename T>
std::intptr_t fakeArg(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<std::intptr_t>(value);
    } else {
        return static_cast<std::intptr_t>(value);
    }
}

template <typename... T>
void fakeLog(const char* name, T... values) {
    fakeRecord(name, {fakeArg(values)...});
}

// A message the system sends straight to the window procedure, as the fake
// does itself for creation, paint, size and destruction. A window that does
// not exist (yet or any more) receives nothing.
LRESULT fakeSend(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Scripted input for the one window, retrieved by GetMessageA in order.
void fakePost(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// A key press that types `character` (27 for Esc); TranslateMessage turns
// it into WM_CHAR.
void fakePostKey(char character);
void fakePostMouse(UINT message, int x, int y);

// Outside events: the window manager resizes the window, or part of the
// window is uncovered and must be painted again.
void fakeResizeFromOutside(int width, int height);
void fakeInvalidate();
// The window is minimised, or restored; a restore owes a paint, which is
// what wakes a waiting loop on a real platform.
void fakeSetIconic(bool iconic);

// Queries of the record.
std::vector<std::string> fakeCallNames();
std::vector<FakeCall> fakeCallsNamed(const std::string& name);
int fakeCount(const std::string& name);
