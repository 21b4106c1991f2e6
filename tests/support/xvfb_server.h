// A private virtual X server for one test process, on a display number that
// the server picks itself, so that tests never collide with each other.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

class XvfbServer {
public:
    // screen: "WIDTHxHEIGHTxDEPTH"; extraArgs e.g. {"-extension", "GLX"}.
    explicit XvfbServer(const std::string& screen = "1280x1024x24",
                        const std::vector<std::string>& extraArgs = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty if the server did not come up.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A nested X server (Xephyr) shown on a host display, for set-ups Xvfb cannot
// make: several screens side by side as Xinerama heads.
class XephyrServer {
public:
    // screens: e.g. {"1920x1080", "1080x1200"}, left to right; extraArgs
    // e.g. {"-extension", "RANDR"}.
    XephyrServer(const std::string& hostDisplay, const std::vector<std::string>& screens,
                 const std::vector<std::string>& extraArgs = {});
    ~XephyrServer();
    XephyrServer(const XephyrServer&) = delete;
    XephyrServer& operator=(const XephyrServer&) = delete;

    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
