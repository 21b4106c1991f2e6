// A real window manager (openbox, i3) on a test's private display, with its
// output kept in a file instead of the test's, and the command-line tools
// that drive one (wmctrl, xdotool, i3-msg).
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class WindowManager {
public:
    // command: its argv, e.g. {"openbox"}; stdout and stderr go to logPath.
    WindowManager(const std::string& display, const std::vector<std::string>& command,
                  const std::string& logPath);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // True once it has announced itself on the root window
    // (_NET_SUPPORTING_WM_CHECK) and reparented a probe window of ours;
    // false if it died or the deadline passed.
    bool waitUntilRunning(Display* display, std::chrono::milliseconds deadline);

private:
    pid_t pid_ = -1;
};

// Runs a tool on the display with its output discarded; its exit status, or
// -1 if it could not start or had not ended by the deadline (then killed).
int runTool(const std::string& display, const std::vector<std::string>& command,
            std::chrono::milliseconds deadline = std::chrono::seconds(10));

// The child of the root window that holds this window: a window manager's
// frame, or the window itself when nothing reparented it.
Window topLevelAncestor(Display* display, Window window);
