// Benchmark, not a test: time from launching a program to its first
// top-level window being mapped (for the viewer: the usage notice), seen
// as a MapNotify on the root of a private Xvfb, and the processor time the
// program had used by then (all its threads, from its own CPU clock), which
// a loaded machine disturbs less. Prints one line per run.
//   x11_launch_bench PROGRAM [RUNS]
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds until the first MapNotify under the root, or -1 after 10 s.
double waitForFirstMap(Display* display, Clock::time_point start) {
    const auto end = start + std::chrono::seconds(10);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (Clock::now() < end) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) {
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            }
        }
        poll(&connection, 1, 50);
    }
    return -1;
}

// Processor time the process has used so far, all threads counted; -1 if
// its clock cannot be read.
double cpuMilliseconds(pid_t process) {
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(process, &clock) != 0 || clock_gettime(clock, &used) != 0) {
        return -1;
    }
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    XvfbServer server("1280x1024x24");
    Display* display = XOpenDisplay(server.display().c_str());
    if (display == nullptr) {
        std::fprintf(stderr, "no Xvfb\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    for (int run = 1; run <= runs; ++run) {
        const auto start = Clock::now();
        const pid_t child = fork();
        if (child == 0) {
            setenv("DISPLAY", server.display().c_str(), 1);
            execl(argv[1], argv[1], static_cast<char*>(nullptr));
            _exit(127);
        }
        const double ms = waitForFirstMap(display, start);
        const double cpu = cpuMilliseconds(child);
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        XSync(display, True);  // forget the events of this run
        std::printf("run %d: first window mapped %.1f ms after launch, %.1f ms of processor time\n",
                    run, ms, cpu);
    }
    XCloseDisplay(display);
    return 0;
}
