// A client connection to one X display for a test, with X errors recorded
// instead of ending the process: windows of the program under test may vanish
// between listing them and reading their properties.
#pragma once

#include <X11/Xlib.h>

#include <string>

class XConnection {
public:
    explicit XConnection(const std::string& display);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* get() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }
    int screenWidth() const { return DisplayWidth(display_, DefaultScreen(display_)); }
    int screenHeight() const { return DisplayHeight(display_, DefaultScreen(display_)); }

    // Number of X errors seen by any connection of this process so far.
    static int errorCount();

private:
    Display* display_ = nullptr;
};
