#include "tests/bench/render/startup_timing.h"

#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>

#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_connection.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char* const kNoticeTitle = "Morvane 1.0";
const char* const kMainTitle = " Morvane";
const Rgb kBackground = {38, 38, 38};

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The peak resident set so far, from the kernel's own account of the process.
long peakResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// The first frame paints the corner with the clear colour; until then the
// window shows the server's black.
bool frameShown(Display* display, Window window) {
    const auto corner = captureArea(display, window, 0, 0, 1, 1);
    return corner && !corner->empty() && nearColour(corner->at(0, 0), kBackground, 2);
}

bool modelTurns(Display* display, Window window) {
    const auto first = captureWindow(display, window);
    return waitFor(
        [&] {
            const auto now = captureWindow(display, window);
            return first && now && !(*now == *first);
        },
        milliseconds(10000), milliseconds(50));
}

StartupRun failed(StartupRun run, const std::string& why) {
    run.failure = why;
    return run;
}

}  // namespace

StartupRun measureStartup(const std::string& programPath,
                          const std::vector<std::string>& environment) {
    StartupRun run;
    XvfbServer server("1280x1024x24");
    if (server.display().empty()) {
        return failed(run, "Xvfb did not start");
    }
    XConnection x(server.display());
    if (!x.ok() || !hasXTest(x.get())) {
        return failed(run, "no X connection with XTest");
    }
    Display* d = x.get();

    const auto exec = Clock::now();
    ProgramProcess program(programPath, server.display(), environment);
    const auto notice = waitForValue([&] { return findViewableByTitle(d, kNoticeTitle); },
                                     milliseconds(20000), milliseconds(1));
    const auto noticeShown = Clock::now();
    if (!notice) {
        return failed(run, "no notice within 20 s: " + program.stderrText());
    }
    movePointerInto(d, *notice, 20, 20);
    // A reader's pause on the notice, when asked for: the program may use it.
    if (const char* hold = std::getenv("BENCH_NOTICE_HOLD_MS")) {
        std::this_thread::sleep_for(milliseconds(std::atoi(hold)));
    }
    const auto closing = Clock::now();
    tapKey(d, XK_Return);

    std::optional<Window> main;
    const bool drawn = waitFor(
        [&] {
            if (!main) {
                main = findViewableByTitle(d, kMainTitle);
            }
            return main && frameShown(d, *main);
        },
        milliseconds(20000), milliseconds(1));
    const auto firstFrame = Clock::now();
    if (!drawn) {
        return failed(run, "no first frame within 20 s: " + program.stderrText());
    }
    run.execToNoticeMs = millisecondsBetween(exec, noticeShown);
    run.harnessMs = millisecondsBetween(noticeShown, closing);
    run.closeToFrameMs = millisecondsBetween(closing, firstFrame);

    if (!modelTurns(d, *main)) {
        return failed(run, "the model does not turn");
    }
    run.peakResidentKb = peakResidentKb(program.pid());
    movePointerInto(d, *main, 400, 400);
    tapKey(d, XK_Escape);
    const auto exit = program.waitForExit(milliseconds(10000));
    if (!exit || !exit->exited) {
        return failed(run, "did not exit on Esc");
    }
    run.exitStatus = exit->status;
    run.ok = true;
    return run;
}

std::optional<double> measureBareStartup(const std::string& programPath,
                                         const std::vector<std::string>& environment) {
    XvfbServer server("1280x1024x24");
    XConnection x(server.display());
    if (server.display().empty() || !x.ok()) {
        return std::nullopt;
    }
    Display* d = x.get();
    const auto exec = Clock::now();
    ProgramProcess program(programPath, server.display(), environment);
    std::optional<Window> window;
    const bool drawn = waitFor(
        [&] {
            if (!window) {
                window = findViewableByTitle(d, "bare GL program");
            }
            return window && frameShown(d, *window);
        },
        milliseconds(20000), milliseconds(1));
    if (!drawn) {
        return std::nullopt;
    }
    return millisecondsBetween(exec, Clock::now());
}
