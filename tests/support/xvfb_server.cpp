#include "tests/support/xvfb_server.h"

#include "tests/support/program_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

// Reads the display number that Xvfb writes to -displayfd, within a deadline.
std::string readDisplayNumber(int fd, std::chrono::milliseconds deadline) {
    std::string digits;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char c;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0) {
            return {};
        }
        if (c == '\n') {
            return digits;
        }
        digits += c;
    }
}

// Starts a server that writes its display number to the pipe given in its
// arguments (-displayfd); a nested server is shown on hostDisplay.
pid_t startServer(std::vector<std::string> args, int readFd, const std::string& hostDisplay) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (hostDisplay.empty() || std::strncmp(*e, "DISPLAY=", 8) != 0) {
            env.emplace_back(*e);
        }
    }
    if (!hostDisplay.empty()) {
        env.push_back("DISPLAY=" + hostDisplay);
    }
    auto argv = pointersTo(args);
    auto envp = pointersTo(env);
    const pid_t pid = fork();
    if (pid == 0) {
        close(readFd);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// The server's display as ":N", or empty if it did not come up in time.
std::string awaitDisplay(pid_t pid, int fds[2]) {
    close(fds[1]);
    std::string display;
    if (pid > 0) {
        const std::string number = readDisplayNumber(fds[0], std::chrono::seconds(20));
        if (!number.empty()) {
            display = ":" + number;
        }
    }
    close(fds[0]);
    return display;
}

void stopServer(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status;
        waitpid(pid, &status, 0);
    }
}

}  // namespace

XvfbServer::XvfbServer(const std::string& screen, const std::vector<std::string>& extraArgs) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                     "-screen",   "0",          screen,
                                     "-nolisten", "tcp",        "-noreset"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = startServer(args, fds[0], "");
    display_ = awaitDisplay(pid_, fds);
}

XvfbServer::~XvfbServer() {
    stopServer(pid_);
}

XephyrServer::XephyrServer(const std::string& hostDisplay, const std::vector<std::string>& screens,
                           const std::vector<std::string>& extraArgs) {
    int fds[2];
    if (hostDisplay.empty() || pipe(fds) != 0) {
        return;
    }
    std::vector<std::string> args = {"Xephyr", "-displayfd", std::to_string(fds[1])};
    for (const std::string& screen : screens) {
        args.insert(args.end(), {"-screen", screen});
    }
    args.insert(args.end(), {"+xinerama", "-ac", "-nolisten", "tcp", "-noreset"});
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = startServer(args, fds[0], hostDisplay);
    display_ = awaitDisplay(pid_, fds);
}

XephyrServer::~XephyrServer() {
    stopServer(pid_);
}
