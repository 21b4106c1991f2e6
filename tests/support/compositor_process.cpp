#include "tests/support/compositor_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

pid_t startCompositor(std::vector<std::string> args, std::vector<std::string> env, uid_t uid,
                      gid_t gid) {
    auto argv = pointersTo(args);
    auto envp = pointersTo(env);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        if (uid != static_cast<uid_t>(-1) &&
            (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            _exit(126);
        }
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

std::string makeRuntimeDir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made != nullptr && chmod(made, 0700) == 0 ? made : "";
}

std::vector<std::string> compositorClientEnvironment(const std::string& socket,
                                                     const std::string& runtimeDir) {
    return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtimeDir};
}

std::string environmentValue(const std::vector<std::string>& environment, const std::string& name) {
    for (const std::string& entry : environment) {
        if (entry.rfind(name + "=", 0) == 0) {
            return entry.substr(name.size() + 1);
        }
    }
    return {};
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
