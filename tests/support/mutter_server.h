// A private GNOME compositor for one test: mutter nested in a private X
// server, in its own D-Bus session; XTest input there reaches Wayland
// clients through its seat, and the X screen shows its output.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class MutterServer {
public:
    // One output of this size in device pixels, at this scale; a
    // fractional one turns on mutter's experimental fractional scaling.
    MutterServer(const std::string& xDisplay, int width, int height, double scale = 1);
    ~MutterServer();
    MutterServer(const MutterServer&) = delete;
    MutterServer& operator=(const MutterServer&) = delete;

    bool running() const { return !socket_.empty(); }
    // What a client needs: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
    std::vector<std::string> clientEnvironment() const;

private:
    pid_t pid_ = -1;
    std::string runtimeDir_;
    std::string socket_;
};
