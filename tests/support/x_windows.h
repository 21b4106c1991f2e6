// Reading the top-level windows of a display and their properties, straight
// from the server (XQueryTree), so that windows named only in UTF8_STRING or
// without a class are found too.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct WmClass {
    std::string name;       // res_name
    std::string className;  // res_class
};

struct WindowGeometry {
    int x = 0;  // position of the window's origin on the root window
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;  // mapped, with all its ancestors mapped
};

// Children of a window, or of the root window, bottom to top.
std::vector<Window> childWindows(Display* display, Window window);
std::vector<Window> topLevelWindows(Display* display);

std::optional<std::string> wmName(Display* display, Window window);
std::optional<std::string> netWmName(Display* display, Window window);
// _NET_WM_NAME when present, else WM_NAME, else empty.
std::string windowTitle(Display* display, Window window);
std::optional<WmClass> wmClass(Display* display, Window window);
// None when the window has no WM_TRANSIENT_FOR.
Window transientFor(Display* display, Window window);
std::optional<XSizeHints> normalHints(Display* display, Window window);
// The raw _NET_WM_ICON cardinals: width, height, then ARGB pixels, repeated.
std::vector<unsigned long> netWmIcon(Display* display, Window window);
std::optional<WindowGeometry> windowGeometry(Display* display, Window window);
bool hasDeleteProtocol(Display* display, Window window);

// The topmost viewable window that satisfies the test: a top-level one, or
// one inside it, as a client sits inside a window manager's frame.
std::optional<Window> findViewableWindow(Display* display,
                                         const std::function<bool(Window)>& matches);
std::optional<Window> findViewableByTitle(Display* display, const std::string& title);
std::optional<Window> findViewableByClass(Display* display, const std::string& className);
