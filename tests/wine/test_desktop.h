// A private Xvfb display for one test, with what a person at it would do:
// find windows by title, look at the screen, move the mouse, press keys.
// Input goes through XTest, as plain `xdotool key` does: the pointer is put
// over the target first, since focus follows the pointer without a window
// manager, and no event is sent to a window directly.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/xvfb_server.h"

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// True when every channel differs by at most tolerance.
bool near(const Rgb& a, const Rgb& b, int tolerance = 2);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // row by row
    const Rgb& at(int x, int y) const { return pixels[y * width + x]; }
};

// Number of pixels that differ by more than the tolerance; images of
// different sizes differ everywhere.
long differingPixels(const Image& a, const Image& b, int tolerance = 2);

// Polls the condition until it holds or the deadline passes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

class TestDesktop {
public:
    explicit TestDesktop(const std::string& screen = "1280x1024x24",
                         const std::vector<std::string>& extraArgs = {});
    ~TestDesktop();
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;

    bool ok() const { return display_ != nullptr; }
    const std::string& name() const { return server_.display(); }
    int screenWidth() const;
    int screenHeight() const;

    // Top-level windows with exactly this WM_NAME; viewable ones only if asked.
    std::vector<Window> windowsTitled(const std::string& title, bool viewableOnly) const;
    std::optional<Window> viewableWindow(const std::string& title) const;
    std::optional<Window> waitForViewable(const std::string& title,
                                          std::chrono::milliseconds deadline) const;
    // The window's outer rectangle on the screen.
    std::optional<Rect> outerRect(Window window) const;
    // The rectangle of its largest child window (where Wine draws the client
    // area); the window's own rectangle if it has no children.
    std::optional<Rect> largestChildRect(Window window) const;

    Image capture(const Rect& area) const;

    void movePointer(int x, int y);
    void pressButton();
    void releaseButton();
    // Moves the pointer over (x, y) and presses and releases the left button.
    void clickAt(int x, int y);
    // Moves the pointer over (x, y), then presses and releases the key.
    void keyAt(int x, int y, const char* keysymName);

private:
    void sync();

    XvfbServer server_;
    Display* display_ = nullptr;
};
