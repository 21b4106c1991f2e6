#include "tests/wine/test_desktop.h"

#include "tests/support/wait_for.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace {

// Windows of the program can vanish between listing and reading them.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

bool near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

long differingPixels(const Image& a, const Image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height) {
        return static_cast<long>(std::max(a.pixels.size(), b.pixels.size()));
    }
    long count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        if (!near(a.pixels[i], b.pixels[i], tolerance)) {
            ++count;
        }
    }
    return count;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    return waitFor(condition, deadline, std::chrono::milliseconds(20));
}

TestDesktop::TestDesktop(const std::string& screen, const std::vector<std::string>& extraArgs)
    : server_(screen, extraArgs) {
    XSetErrorHandler(ignoreXError);
    if (!server_.display().empty()) {
        display_ = XOpenDisplay(server_.display().c_str());
    }
}

TestDesktop::~TestDesktop() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

int TestDesktop::screenWidth() const {
    return DisplayWidth(display_, DefaultScreen(display_));
}
int TestDesktop::screenHeight() const {
    return DisplayHeight(display_, DefaultScreen(display_));
}

std::vector<Window> TestDesktop::windowsTitled(const std::string& title, bool viewableOnly) const {
    std::vector<Window> found;
    Window root = DefaultRootWindow(display_);
    Window parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &root, &parent, &children, &count)) {
        return found;
    }
    for (unsigned int i = 0; i < count; ++i) {
        char* name = nullptr;
        if (!XFetchName(display_, children[i], &name) || name == nullptr) {
            continue;
        }
        const bool matches = title == name;
        XFree(name);
        XWindowAttributes attributes;
        if (!matches || !XGetWindowAttributes(display_, children[i], &attributes)) {
            continue;
        }
        if (!viewableOnly || attributes.map_state == IsViewable) {
            found.push_back(children[i]);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

std::optional<Window> TestDesktop::viewableWindow(const std::string& title) const {
    const auto windows = windowsTitled(title, true);
    if (windows.empty()) {
        return std::nullopt;
    }
    return windows.back();  // the topmost
}

std::optional<Window> TestDesktop::waitForViewable(const std::string& title,
                                                   std::chrono::milliseconds deadline) const {
    std::optional<Window> window;
    waitUntil([&] { return (window = viewableWindow(title)).has_value(); }, deadline);
    return window;
}

std::optional<Rect> TestDesktop::outerRect(Window window) const {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) {
        return std::nullopt;
    }
    int x = 0;
    int y = 0;
    Window child;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return Rect{x, y, attributes.width, attributes.height};
}

std::optional<Rect> TestDesktop::largestChildRect(Window window) const {
    Window root;
    Window parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) {
        return std::nullopt;
    }
    std::optional<Rect> largest;
    for (unsigned int i = 0; i < count; ++i) {
        const auto rect = outerRect(children[i]);
        if (rect && (!largest || rect->width * rect->height > largest->width * largest->height)) {
            largest = rect;
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return largest ? largest : outerRect(window);
}

Image TestDesktop::capture(const Rect& area) const {
    Image image;
    XImage* shot = XGetImage(display_, DefaultRootWindow(display_), area.x, area.y,
                             static_cast<unsigned>(area.width), static_cast<unsigned>(area.height),
                             AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return image;
    }
    image.width = area.width;
    image.height = area.height;
    image.pixels.reserve(static_cast<std::size_t>(area.width) * area.height);
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            image.pixels.push_back({static_cast<int>((p & shot->red_mask) >> 16),
                                    static_cast<int>((p & shot->green_mask) >> 8),
                                    static_cast<int>(p & shot->blue_mask)});
        }
    }
    XDestroyImage(shot);
    return image;
}

void TestDesktop::sync() {
    XSync(display_, False);
}

void TestDesktop::movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    sync();
}

void TestDesktop::pressButton() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    sync();
}

void TestDesktop::releaseButton() {
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    sync();
}

void TestDesktop::clickAt(int x, int y) {
    movePointer(x, y);
    pressButton();
    releaseButton();
}

void TestDesktop::keyAt(int x, int y, const char* keysymName) {
    movePointer(x, y);
    const KeySym keysym = XStringToKeysym(keysymName);
    KeySym lower;
    KeySym upper;
    XConvertCase(keysym, &lower, &upper);
    // Upper-case letters share the key of the lower-case ones: hold Shift.
    const bool shifted = keysym == upper && lower != upper;
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (shifted) {
        XTestFakeKeyEvent(display_, shift, True, CurrentTime);
    }
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (shifted) {
        XTestFakeKeyEvent(display_, shift, False, CurrentTime);
    }
    sync();
}
