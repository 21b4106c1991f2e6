#include "tests/support/weston_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/compositor_process.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

extern char** environ;

WestonServer::WestonServer(const std::string& xDisplay, int width, int height,
                           const std::vector<std::string>& extraArgs) {
    runtimeDir_ = makeRuntimeDir("morvane-weston");  // weston refuses one others may enter
    if (runtimeDir_.empty()) {
        return;
    }
    const std::string socket = "morvane-" + std::to_string(getpid());
    std::vector<std::string> args = {
        "weston",
        xDisplay.empty() ? "--backend=headless-backend.so" : "--backend=x11-backend.so",
        "--use-pixman",
        "--socket=" + socket,
        "--idle-time=0",
        "--debug"};
    // weston's --width and --height win over the config's output modes.
    if (width > 0 && height > 0) {
        args.push_back("--width=" + std::to_string(width));
        args.push_back("--height=" + std::to_string(height));
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir_, "PATH=/usr/bin:/bin"};
    if (!xDisplay.empty()) {
        env.push_back("DISPLAY=" + xDisplay);
    }
    pid_ = startCompositor(args, env);
    const std::string path = runtimeDir_ + "/" + socket;
    if (pid_ > 0 &&
        waitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(20))) {
        socket_ = socket;
    }
}

void WestonServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    socket_.clear();
}

WestonServer::~WestonServer() {
    endCompositor(pid_, runtimeDir_);
}

std::vector<std::string> WestonServer::clientEnvironment() const {
    return compositorClientEnvironment(socket_, runtimeDir_);
}
