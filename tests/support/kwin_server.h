// A private KWin for one test, nested in a private X server whose screen
// shows its output; XTest input there reaches Wayland clients through its
// seat. Runs a copy of kwin_wayland: the installed one carries a file
// capability that a container may refuse to grant.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class KwinServer {
public:
    // width, height: the output's logical size; scale may be fractional.
    // trustAll: every client may use the protocols KWin keeps for trusted
    // ones, fake input among them.
    KwinServer(const std::string& xDisplay, int width, int height, double scale,
               bool trustAll = false);
    ~KwinServer();
    KwinServer(const KwinServer&) = delete;
    KwinServer& operator=(const KwinServer&) = delete;

    bool running() const { return !socket_.empty(); }
    // What a client needs: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
    std::vector<std::string> clientEnvironment() const;

private:
    pid_t pid_ = -1;
    std::string runtimeDir_;
    std::string socket_;
};
