// The Linux entry point, run as a process: with no display it says so in
// one line and exits 1 at once; with one it calls WinMain as Win32 would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/silent_display.h"
#include "tests/support/xvfb_server.h"

namespace {

struct Outcome {
    int status = -1;  // exit status, or -1 if it had to be killed
    std::string out;
    std::string err;
    double seconds = 0;
};

// Runs the probe with DISPLAY as given (null: unset) and waits for it within
// a deadline, reading both pipes meanwhile.
Outcome runProbe(const char* display, const std::vector<std::string>& args = {},
                 const std::function<void(const std::string&)>& onOutput = {}) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        return {};
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (display != nullptr) {
            setenv("DISPLAY", display, 1);
        } else {
            unsetenv("DISPLAY");
        }
        std::vector<char*> argv{const_cast<char*>(MORVANE_MAIN_PROBE)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(MORVANE_MAIN_PROBE, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Outcome outcome;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    int open = 2;
    const auto end = start + std::chrono::seconds(20);
    while (open > 0 && std::chrono::steady_clock::now() < end) {
        if (poll(fds, 2, 100) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[512];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                    if (i == 0 && onOutput) {
                        onOutput(outcome.out);
                    }
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    int status = 0;
    if (open > 0) {
        kill(child, SIGKILL);
    }
    waitpid(child, &status, 0);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.status = open == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (pollfd& f : fds) {
        if (f.fd >= 0) {
            close(f.fd);
        }
    }
    return outcome;
}

TEST(EntryPoint, WithoutDisplaySetItSaysSoInOneLineAndExits1) {
    const Outcome outcome = runProbe(nullptr);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "morvane: DISPLAY is not set\n");
    EXPECT_EQ(outcome.out, "");  // WinMain never ran
    std::printf("no DISPLAY: exited after %.3f s\n", outcome.seconds);
}

TEST(EntryPoint, WithADisplayThatCannotBeOpenedItNamesItAndExits1) {
    const Outcome outcome = runProbe(":4097");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "morvane: cannot open display \":4097\"\n");
    EXPECT_EQ(outcome.out, "");
    std::printf("unopenable display: exited after %.3f s\n", outcome.seconds);
}

TEST(EntryPoint, ADisplayThatNeverAnswersIsGivenUpWithOneLineAndStatus1) {
    SilentDisplay silent;
    ASSERT_FALSE(silent.display().empty());
    const Outcome outcome = runProbe(silent.display().c_str());
    EXPECT_EQ(outcome.status, 1);  // -1: still hanging when the runner gave up
    EXPECT_EQ(outcome.err, "morvane: the X display " + silent.display() + " does not answer\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_GT(outcome.seconds, 4.0);  // it did wait for a slow server
    EXPECT_LT(outcome.seconds, 10.0);
    std::printf("silent display: gave up after %.3f s\n", outcome.seconds);
}

TEST(EntryPoint, WithADisplayItCallsWinMainAndReturnsItsResult) {
    XvfbServer server("1024x768x24");
    ASSERT_FALSE(server.display().empty());
    const Outcome outcome = runProbe(server.display().c_str(), {"ignored", "words"});
    EXPECT_EQ(outcome.status, 7);
    EXPECT_EQ(outcome.out, "instance=set previous=null show=1 line=[ignored words] height=768\n");
    EXPECT_EQ(outcome.err, "");
}

TEST(EntryPoint, XErrorsAreReportedOnceAndSurvived) {
    XvfbServer server("1024x768x24");
    ASSERT_FALSE(server.display().empty());
    const Outcome outcome = runProbe(server.display().c_str(), {"xerrors"});
    EXPECT_EQ(outcome.status, 7);
    EXPECT_EQ(outcome.err.rfind("morvane: X error: BadWindow", 0), 0u) << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
}

TEST(EntryPoint, ALostDisplayEndsTheWaitWithOneLineAndStatus1) {
    auto server = std::make_unique<XvfbServer>("1024x768x24");
    ASSERT_FALSE(server->display().empty());
    const std::string display = server->display();
    const Outcome outcome = runProbe(display.c_str(), {"wait"}, [&](const std::string& out) {
        if (out.find("waiting") != std::string::npos) {
            server.reset();  // the X server goes away under the waiting program
        }
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "waiting\n");
    EXPECT_EQ(outcome.err, "morvane: lost the connection to the X display\n");
}

}  // namespace
