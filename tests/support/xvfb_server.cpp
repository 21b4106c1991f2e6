#include "tests/support/xvfb_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

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

    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0) {
        const std::string number = readDisplayNumber(fds[0], std::chrono::seconds(20));
        if (!number.empty()) {
            display_ = ":" + number;
        }
    }
    close(fds[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
    }
}
