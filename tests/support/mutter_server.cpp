#include "tests/support/mutter_server.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/compositor_process.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

namespace {

// Settings mutter reads at start, from a key file in the directory.
bool writeSettings(const std::string& configDir, double scale) {
    std::error_code failed;
    std::filesystem::create_directories(configDir + "/glib-2.0/settings", failed);
    std::ofstream file(configDir + "/glib-2.0/settings/keyfile");
    if (scale != std::floor(scale)) {
        file << "[org/gnome/mutter]\nexperimental-features=['scale-monitor-framebuffer']\n";
    }
    return !failed && file.good();
}

}  // namespace

MutterServer::MutterServer(const std::string& xDisplay, int width, int height, double scale) {
    runtimeDir_ = makeRuntimeDir("morvane-mutter");
    if (runtimeDir_.empty()) {
        return;
    }
    const std::string configDir = runtimeDir_ + "/config";
    if (!writeSettings(configDir, scale)) {
        return;
    }
    std::ostringstream scaleText;
    scaleText << scale;
    const std::string socket = "morvane-mutter-" + std::to_string(getpid());
    std::vector<std::string> args = {"dbus-run-session",  "--",  "mutter", "--nested", "--no-x11",
                                     "--wayland-display", socket};
    // The nested output's mode and scale; the session's settings stay in
    // the directory.
    std::vector<std::string> env = {
        "XDG_RUNTIME_DIR=" + runtimeDir_,
        "PATH=/usr/bin:/bin",
        "DISPLAY=" + xDisplay,
        "HOME=" + runtimeDir_,
        "XDG_CONFIG_HOME=" + configDir,
        "MUTTER_DEBUG_DUMMY_MODE_SPECS=" + std::to_string(width) + "x" + std::to_string(height),
        "MUTTER_DEBUG_DUMMY_MONITOR_SCALES=" + scaleText.str(),
        "GSETTINGS_BACKEND=keyfile"};
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
