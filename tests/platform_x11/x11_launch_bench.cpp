// Benchmark, not a test: time from launching a program to its first
// top-level window being mapped (for the viewer: the usage notice), seen
// as a MapNotify on the root of a private Xvfb. Prints one line per run.
//   x11_launch_bench PROGRAM [RUNS]
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        XSync(display, True);  // forget the events of this run
        std::printf("run %d: first window mapped %.1f ms after launch\n", run, ms);
    }
    XCloseDisplay(display);
    return 0;
}
