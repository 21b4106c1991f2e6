// A private weston compositor for one test: its x11 backend shown on a
// private X server, so that XTest input there reaches Wayland clients
// through weston's seat; or the headless backend, for pictures only.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class WestonServer {
public:
    // xDisplay: the X server to show on; empty for the headless backend.
    // width, height: the outputs' logical size; 0 leaves it to a --config.
    WestonServer(const std::string& xDisplay, int width, int height,
                 const std::vector<std::string>& extraArgs = {});
    ~WestonServer();
    WestonServer(const WestonServer&) = delete;
    WestonServer& operator=(const WestonServer&) = delete;

    bool running() const { return !socket_.empty(); }
    // Ends the compositor now, as a crash would, leaving its clients behind.
    void stop();
    // What a client needs: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
    std::vector<std::string> clientEnvironment() const;

private:
    pid_t pid_ = -1;
    std::string runtimeDir_;
    std::string socket_;
};
