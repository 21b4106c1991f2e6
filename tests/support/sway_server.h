// A private headless sway for one test, with no input devices of its own:
// tests bring virtual ones (virtual_input.h). sway will not run as root, so
// under root it runs as an unprivileged user, made if missing, and so does
// the program, from a copy that user can read wherever the build tree is.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/rgb_image.h"

class SwayServer {
public:
    // One output of this size in device pixels, at scale 1.
    SwayServer(int width, int height);
    ~SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    bool running() const { return !socket_.empty(); }
    // What a client needs: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
    std::vector<std::string> clientEnvironment() const;
    // swaymsg's reply to one command ("-t get_tree" style flags allowed).
    std::string message(const std::string& arguments) const;
    // The output in device pixels, from grim; empty when it failed.
    RgbImage screenshot() const;
    // A copy of the program the user can run, and that user's ids (the
    // test's own when not root).
    std::string programCopy(const std::string& program) const;
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }

private:
    pid_t pid_ = -1;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string runtimeDir_;
    std::string socket_;
    std::string ipcSocket_;
};
