#include "tests/support/compositor_process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/support/wait_for.h"

std::string makeRuntimeDir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made != nullptr && chmod(made, 0700) == 0 ? made : "";
}

std::vector<std::string> compositorClientEnvironment(const std::string& socket,
                                                     const std::string& runtimeDir) {
    return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtimeDir};
}

void endCompositor(pid_t pid, const std::string& runtimeDir) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        if (!waitFor([&] { return waitpid(pid, nullptr, WNOHANG) == pid; },
                     std::chrono::seconds(10))) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    if (!runtimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeDir, ignored);
    }
}
