#include "tests/support/sway_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/compositor_process.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

namespace {

constexpr const char* kUser = "morvane-test";

// The unprivileged user sway and the program run as when the test is root.
bool findOrMakeUser(uid_t& uid, gid_t& gid) {
    if (getuid() != 0) {
        uid = getuid();
        gid = getgid();
        return true;
    }
    if (getpwnam(kUser) == nullptr &&
        std::system((std::string("useradd -m ") + kUser + " >/dev/null 2>&1").c_str()) != 0) {
        return false;
    }
    const passwd* user = getpwnam(kUser);
    if (user == nullptr) {
        return false;
    }
    uid = user->pw_uid;
    gid = user->pw_gid;
    return true;
}

// The first wayland-N socket sway made in the directory, if any.
std::string socketIn(const std::string& dir, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        const std::string name = entry.path().filename();
        if (name.rfind(prefix, 0) == 0 && entry.is_socket()) {
            return name;
        }
    }
    return {};
}

std::string commandOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        text.append(chunk.data(), got);
    }
    pclose(pipe);
    return text;
}

// grim's binary PPM (P6, maximum 255).
RgbImage readPpm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get();
    if (!file || magic != "P6" || maximum != 255 || width <= 0 || height <= 0) {
        return {};
    }
    RgbImage image{width, height, std::vector<Rgb>(static_cast<std::size_t>(width) * height)};
    file.read(reinterpret_cast<char*>(image.pixels.data()),
              static_cast<std::streamsize>(image.pixels.size() * 3));
    return file ? image : RgbImage{};
}

}  // namespace

SwayServer::SwayServer(int width, int height) {
    if (!findOrMakeUser(uid_, gid_)) {
        return;
    }
    // Its own: sway, like weston, refuses one others may enter.
    runtimeDir_ = makeRuntimeDir("morvane-sway");
    if (runtimeDir_.empty() || chown(runtimeDir_.c_str(), uid_, gid_) != 0) {
        return;
    }
    const std::string config = runtimeDir_ + "/config";
    std::ofstream(config) << "output HEADLESS-1 mode " << width << "x" << height << " scale 1\n"
                          << "default_border none\nfocus_follows_mouse no\n";
    const passwd* user = getpwuid(uid_);
    std::vector<std::string> args = {"sway", "-c", config};
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtimeDir_,
                                    "PATH=/usr/bin:/bin",
                                    std::string("HOME=") + (user != nullptr ? user->pw_dir : "/"),
                                    "WLR_BACKENDS=headless",
                                    "WLR_RENDERER=pixman",
                                    "WLR_LIBINPUT_NO_DEVICES=1",
                                    "WLR_HEADLESS_OUTPUTS=1"};
    pid_ = getuid() == 0 ? startCompositor(args, env, uid_, gid_) : startCompositor(args, env);
    if (pid_ > 0 && waitFor(
                        [&] {
                            ipcSocket_ = socketIn(runtimeDir_, "sway-ipc.");
                            return !socketIn(runtimeDir_, "wayland-").empty() &&
                                   !ipcSocket_.empty();
                        },
                        std::chrono::seconds(30))) {
        socket_ = socketIn(runtimeDir_, "wayland-");
    }
}

SwayServer::~SwayServer() {
    endCompositor(pid_, runtimeDir_);
}

std::vector<std::string> SwayServer::clientEnvironment() const {
    return compositorClientEnvironment(socket_, runtimeDir_);
}

std::string SwayServer::message(const std::string& arguments) const {
    return commandOutput("swaymsg -s '" + runtimeDir_ + "/" + ipcSocket_ + "' " + arguments +
                         " 2>&1");
}

RgbImage SwayServer::screenshot() const {
    const std::string path = runtimeDir_ + "/shot.ppm";
    const std::string command = "WAYLAND_DISPLAY=" + socket_ + " XDG_RUNTIME_DIR=" + runtimeDir_ +
                                " grim -t ppm '" + path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return readPpm(path);
}

// setpriv execs, so the program keeps the pid the test watches.
std::string SwayServer::programCopy(const std::string& program) const {
    if (getuid() != 0) {
        return program;
    }
    const std::string copy = runtimeDir_ + "/morvane";
    const std::string launcher = runtimeDir_ + "/morvane-as-user";
    std::error_code failed;
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing,
                               failed);
    std::ofstream(launcher) << "#!/bin/sh\nexec setpriv --reuid=" << uid_ << " --regid=" << gid_
                            << " --clear-groups '" << copy << "'\n";
    if (failed || chmod(copy.c_str(), 0755) != 0 || chmod(launcher.c_str(), 0755) != 0) {
        return {};
    }
    return launcher;
}
