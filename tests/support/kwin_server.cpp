#include "tests/support/kwin_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "tests/support/compositor_process.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

KwinServer::KwinServer(const std::string& xDisplay, int width, int height, double scale,
                       bool trustAll) {
    runtimeDir_ = makeRuntimeDir("morvane-kwin");
    if (runtimeDir_.empty()) {
        return;
    }
    // A plain copy drops the capability.
    const std::string binary = runtimeDir_ + "/kwin_wayland";
    std::error_code failed;
    std::filesystem::copy_file("/usr/bin/kwin_wayland", binary, failed);
    if (failed) {
        return;
    }
    const std::string socket = "morvane-kwin-" + std::to_string(getpid());
    std::ostringstream scaleText;
    scaleText << scale;
    std::vector<std::string> args = {
        binary,     "--x11-display",        xDisplay,  "--width",       std::to_string(width),
        "--height", std::to_string(height), "--scale", scaleText.str(), "--socket",
        socket};
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir_, "PATH=/usr/bin:/bin",
                                    "DISPLAY=" + xDisplay, "HOME=" + runtimeDir_};
    if (trustAll) {
        env.push_back("KWIN_WAYLAND_NO_PERMISSION_CHECKS=1");
    }
    pid_ = startCompositor(args, env);
    const std::string path = runtimeDir_ + "/" + socket;
    if (pid_ > 0 &&
        waitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(60))) {
        socket_ = socket;
    }
}

KwinServer::~KwinServer() {
    endCompositor(pid_, runtimeDir_);
}

std::vector<std::string> KwinServer::clientEnvironment() const {
    return compositorClientEnvironment(socket_, runtimeDir_);
}
