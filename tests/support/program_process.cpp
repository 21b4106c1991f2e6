#include "tests/support/program_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

std::vector<std::string> environmentWithDisplay(const std::optional<std::string>& display) {
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        // WAYLAND_DISPLAY would take the program off X; Wayland tests pass it in.
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0) {
            entries.emplace_back(*e);
        }
    }
    if (display) {
        entries.push_back("DISPLAY=" + *display);
    }
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

namespace {

ProgramExit decode(int status) {
    if (WIFEXITED(status)) {
        return {true, WEXITSTATUS(status)};
    }
    return {false, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

}  // namespace

ProgramProcess::ProgramProcess(const std::string& path, const std::optional<std::string>& display,
                               const std::vector<std::string>& extraEnvironment) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> args = {path};
    std::vector<std::string> env = environmentWithDisplay(display);
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto argv = pointersTo(args);
    auto envp = pointersTo(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t child = -1;
    if (posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        pid_ = child;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    reader_ = std::thread([this, fd = fds[0]] { collectStderr(fd); });
}

ProgramProcess::~ProgramProcess() {
    if (pid_ > 0 && !exit_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (reader_.joinable()) {
        reader_.join();
    }
}

void ProgramProcess::collectStderr(int fd) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            stderr_.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
}

std::optional<ProgramExit> ProgramProcess::waitForExit(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (pid_ > 0 && !exit_) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exit_ = decode(status);
            break;
        }
        if (done < 0 || std::chrono::steady_clock::now() >= end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (exit_ && reader_.joinable()) {
        // The pipe closes with the process (and any child holding it).
        reader_.join();
    }
    return exit_;
}

bool ProgramProcess::running() {
    return pid_ > 0 && !waitForExit(std::chrono::milliseconds(0)).has_value();
}

std::string ProgramProcess::stderrText() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stderr_;
}
