// Trackball figures of the real program on a private Xvfb: the time from one
// XTest mouse move to the frame it causes, and what a storm of 10,000 moves
// in one second does. Frames are seen exactly, by recording the program's
// image transfers (FrameWatch), not by sampling the screen. Prints figures;
// passes or fails nothing.
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/viewer_session.h"
#include "tests/support/frame_watch.h"
#include "tests/support/process_cpu.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLatencyMoves = 50;
constexpr int kStormMoves = 10000;
constexpr auto kStormLength = 1s;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one + " " + five;
}

struct Viewer {
    ViewerSession session;
    int centreX = 0;  // root coordinates of the window's centre
    int centreY = 0;
};

// One move at a time, each waiting for its frame.
void measureLatency(Viewer& viewer, FrameWatch& frames) {
    Display* d = viewer.session.display();
    std::vector<double> latencies;
    for (int i = 0; i < kLatencyMoves; ++i) {
        frames.poll();
        const size_t before = frames.count();
        const int offset = (i % 2 == 0) ? 40 : 20;  // always a new position
        const auto sent = Clock::now();
        movePointerNoSync(d, viewer.centreX + offset, viewer.centreY);
        if (!frames.waitForCount(before + 1, 10s)) {
            std::printf("move %d: no frame within 10 s\n", i);
            return;
        }
        latencies.push_back(milliseconds(frames.frames()[before] - sent));
    }
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double l : latencies) {
        sum += l;
    }
    std::printf(
        "move-to-frame latency over %d moves: min %.2f ms, median %.2f ms, "
        "mean %.2f ms, max %.2f ms\n",
        kLatencyMoves, latencies.front(), latencies[latencies.size() / 2], sum / latencies.size(),
        latencies.back());
}

void measureStorm(Viewer& viewer, FrameWatch& frames) {
    Display* d = viewer.session.display();
    const pid_t pid = viewer.session.program().pid();
    frames.waitForQuiet(200ms, 10s);
    const size_t before = frames.count();
    const auto cpuBefore = processCpuTime(pid);

    const auto start = Clock::now();
    for (int i = 0; i < kStormMoves; ++i) {
        std::this_thread::sleep_until(start +
                                      std::chrono::microseconds(kStormLength) * i / kStormMoves);
        // Consecutive positions always differ, so each is a real move.
        movePointerNoSync(d, viewer.centreX - 150 + i % 300, viewer.centreY);
        frames.poll();
    }
    const auto lastSent = Clock::now();
    frames.waitForQuiet(1s, 60s);
    const auto all = frames.frames();
    const auto cpuAfter = processCpuTime(pid);

    const size_t drawn = all.size() - before;
    const auto lastFrame = drawn > 0 ? all.back() : lastSent;
    std::printf("storm: %d moves sent in %.0f ms; %zu frames drawn (%.0f per second of storm)\n",
                kStormMoves, milliseconds(lastSent - start), drawn,
                drawn / (milliseconds(lastFrame - start) / 1000.0));
    std::printf("storm: last frame %.1f ms after the last move was sent (queue drained)\n",
                milliseconds(lastFrame - lastSent));
    if (cpuBefore && cpuAfter) {
        std::printf("storm: program CPU time %lld ms\n",
                    static_cast<long long>((*cpuAfter - *cpuBefore).count()));
    }
}

// After the storm: it still answers, and stops and sleeps as before.
void checkResponsive(Viewer& viewer, FrameWatch& frames) {
    Display* d = viewer.session.display();
    movePointer(d, viewer.centreX, viewer.centreY);
    releaseButton(d);  // at the press position: stops
    frames.waitForQuiet(300ms, 10s);
    const size_t before = frames.count();
    const auto sent = Clock::now();
    tapKey(d, XK_f);
    const bool answered = frames.waitForCount(before + 1, 10s);
    const auto image = viewer.session.waitForBackground(kFogBackground);
    std::printf("after the storm: running %s, f answered with a frame %s (%.2f ms), fog %s\n",
                viewer.session.program().running() ? "yes" : "NO", answered ? "yes" : "NO",
                answered ? milliseconds(frames.frames()[before] - sent) : 0.0,
                image ? "shown" : "NOT shown");
    frames.waitForQuiet(300ms, 10s);
    const pid_t pid = viewer.session.program().pid();
    const auto cpuBefore = processCpuTime(pid);
    const size_t quietFrames = frames.count();
    std::this_thread::sleep_for(3s);  // a measuring period, not a wait for a condition
    frames.poll();
    const auto cpuAfter = processCpuTime(pid);
    if (cpuBefore && cpuAfter) {
        std::printf("stopped: %lld ms CPU and %zu frames over 3 s\n",
                    static_cast<long long>((*cpuAfter - *cpuBefore).count()),
                    frames.count() - quietFrames);
    }
}

}  // namespace

int main() {
    std::printf("load average before: %s\n", loadAverage().c_str());
    Viewer viewer;
    if (!viewer.session.openViewer()) {
        std::fprintf(stderr, "trackball_bench: the viewer did not open\n");
        return 1;
    }
    Display* d = viewer.session.display();
    const auto geometry = windowGeometry(d, viewer.session.main());
    viewer.centreX = geometry->x + geometry->width / 2;
    viewer.centreY = geometry->y + geometry->height / 2;
    FrameWatch frames(viewer.session.displayName(), viewer.session.main());
    if (!frames.ok()) {
        std::fprintf(stderr, "trackball_bench: the X server has no RECORD extension\n");
        return 1;
    }

    frames.waitForCount(1, 10s);
    const auto spinStart = Clock::now();
    const size_t spinFrames = frames.count();
    std::this_thread::sleep_for(2s);  // a measuring period
    frames.poll();
    std::printf("spinning: %.1f frames per second\n",
                (frames.count() - spinFrames) / (milliseconds(Clock::now() - spinStart) / 1000));

    // Stop, then hold the button down at the centre: every move is a drag step.
    viewer.session.clickInMain(geometry->width / 2, geometry->height / 2);
    frames.waitForQuiet(300ms, 10s);
    pressButton(d);
    measureLatency(viewer, frames);
    measureStorm(viewer, frames);
    checkResponsive(viewer, frames);

    viewer.session.typeKey(XK_Escape);
    const auto ended = viewer.session.program().waitForExit(20s);
    std::printf("exit after Esc: %s\n",
                ended ? (ended->exited ? ("status " + std::to_string(ended->status)).c_str()
                                       : "killed by a signal")
                      : "still running");
    std::printf("load average after: %s\n", loadAverage().c_str());
    return 0;
}
