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
