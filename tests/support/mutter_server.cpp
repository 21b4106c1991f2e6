#include "tests/support/mutter_server.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/support/compositor_process.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

MutterServer::MutterServer(const std::string& xDisplay, int width, int height) {
    runtimeDir_ = makeRuntimeDir("morvane-mutter");
    if (runtimeDir_.empty()) {
        return;
    }
    const std::string socket = "morvane-mutter-" + std::to_string(getpid());
    std::vector<std::string> args = {"dbus-run-session",  "--",  "mutter", "--nested", "--no-x11",
                                     "--wayland-display", socket};
    // The nested output's mode; the session's settings stay in the directory.
    std::vector<std::string> env = {
        "XDG_RUNTIME_DIR=" + runtimeDir_,
        "PATH=/usr/bin:/bin",
        "DISPLAY=" + xDisplay,
        "HOME=" + runtimeDir_,
        "MUTTER_DEBUG_DUMMY_MODE_SPECS=" + std::to_string(width) + "x" + std::to_string(height),
        "GSETTINGS_BACKEND=memory"};
    pid_ = startCompositor(args, env);  // a group of its own: the session bus ends with it
    const std::string path = runtimeDir_ + "/" + socket;
    if (pid_ > 0 &&
        waitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(60))) {
        socket_ = socket;
    }
}

MutterServer::~MutterServer() {
    if (pid_ > 0) {
        kill(-pid_, SIGTERM);  // mutter and its bus with the session
    }
    endCompositor(pid_, runtimeDir_);
}

std::vector<std::string> MutterServer::clientEnvironment() const {
    return compositorClientEnvironment(socket_, runtimeDir_);
}
