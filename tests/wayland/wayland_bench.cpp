// Prints the viewer's figures on Wayland (weston's x11 backend on a private
// Xvfb) against the X11 build on a plain Xvfb, alternating A B A B:
//   wayland_bench PROGRAM [SECONDS]
// Frames are counted as images reaching the X server (FrameWatch): on X11
// the program's own swaps; on Wayland weston's repaints of its output, each
// showing at most one new frame of the program. Start-up is timed by
// screenshots of the root (a few ms each). On Wayland the turning viewer is
// also minimised (libdecor's button) and restored (weston's Super+Tab).
// BENCH_NOTICE_HOLD_MS holds the notice that long before Return, as a
// reader would (the program gets ready meanwhile); 0 by default.
// Run by hand, not by ctest.
#include <X11/keysym.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/frame_watch.h"
#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/weston_server.h"
#include "tests/support/x_connection.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// libdecor's cairo frame: 24-pixel title bar, 32-pixel buttons, minimise third.
constexpr int kTitleBarHeight = 24;
constexpr int kMinimiseInset = 16 + 2 * 32;

struct Figures {
    double toNoticeMs = 0, toFrameMs = 0, fps = 0, spinningCpu = 0, stoppedCpu = 0;
    double compositorCpu = -1;  // weston's, while spinning
    double minimisedCpu = -1;   // below zero: not minimised
    double asleepMs = -1;       // minimise click to the program asleep
    double restoredMs = -1;     // Super+Tab to the first new picture
};

std::chrono::milliseconds noticeHold() {
    const char* hold = std::getenv("BENCH_NOTICE_HOLD_MS");
    return std::chrono::milliseconds(hold != nullptr ? std::atoi(hold) : 0);
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool rootShows(Display* display, Rgb colour, int pixels) {
    return waitFor(
        [&] {
            const auto root = captureWindow(display, DefaultRootWindow(display));
            return root && countNear(*root, colour) >= pixels;
        },
        20s, 1ms);
}

bool rootShowsFewer(Display* display, Rgb colour, int pixels) {
    return waitFor(
        [&] {
            const auto root = captureWindow(display, DefaultRootWindow(display));
            return root && countNear(*root, colour) < pixels;
        },
        5s);
}

// Our child of that name (weston), or -1.
pid_t childNamed(const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, comm, state;
        pid_t parent = 0;
        if (stat >> pid >> comm >> state >> parent && parent == getpid() &&
            comm == "(" + name + ")") {
            return std::stoi(pid);
        }
    }
    return -1;
}

// Processor time over the period, as a share of one core.
double framesPerSecond(FrameWatch& frames, double seconds) {
    frames.poll();
    const size_t before = frames.count();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    frames.poll();
    return (frames.count() - before) / seconds;
}

// Asleep: no processor time for half a second; the time until then, less
// that half second.
double msUntilAsleep(pid_t pid, Clock::time_point since) {
    return cpuSettles(pid, 500ms, 20s) ? msSince(since) - 500 : -1;
}

// The viewer's upper half: weston's pointer, drawn into the output, stays
// on the title bar or below.
std::optional<RgbImage> viewerTop(Display* display, const Area& area) {
    return captureArea(display, DefaultRootWindow(display), area.x, area.y, area.width,
                       area.height / 2);
}

// The turning viewer minimised with libdecor's button, which weston's
// desktop shell hides; then restored by its switcher, Super+Tab, and timed
// to the first new picture.
void measureMinimised(Display* display, ProgramProcess& program, Area& placed, Figures& f) {
    // weston may place the title bar partly under its panel: moved clear.
    const int top = kWestonPanelHeight + 2 * kTitleBarHeight;
    const int width = DisplayWidth(display, 0);
    const int height = DisplayHeight(display, 0);
    std::optional<Area> moved;
    if (dragViewerToRow(display, placed, top, width, height)) {
        moved = waitForValue(
            [&]() -> std::optional<Area> {
                const auto root = captureWindow(display, DefaultRootWindow(display));
                const auto area = root ? filledCorners(*root, kViewerBackground) : std::nullopt;
                return area && area->y == top ? area : std::nullopt;
            },
            5s);
    }
    if (!moved) {
        std::printf("weston did not move the viewer clear of its panel\n");
        return;
    }
    placed = *moved;  // the stopping click after this goes there
    const Area& area = placed;
    alignWestonPointer(display, width, height);
    movePointer(display, area.x + area.width - kMinimiseInset, area.y - kTitleBarHeight / 2);
    const auto clicked = Clock::now();
    pressButton(display);
    releaseButton(display);
    if (!rootShowsFewer(display, kViewerBackground, area.width * area.height / 10)) {
        std::printf("weston did not hide the viewer after its minimise button\n");
        return;
    }
    f.asleepMs = msUntilAsleep(program.pid(), clicked);
    f.minimisedCpu = cpuShare(program.pid(), 3s);
    const auto before = viewerTop(display, area);
    const auto switched = Clock::now();
    tapKeyWith(display, XK_Super_L, XK_Tab);
    const bool turned = before && waitFor(
                                      [&] {
                                          const auto now = viewerTop(display, area);
                                          return now && *now != *before;
                                      },
                                      20s, 1ms);
    f.restoredMs = turned ? msSince(switched) : -1;
}

// Launch, notice, Return, first frame; then spinning and stopped.
Figures measure(Display* display, const std::string& displayName, ProgramProcess& program,
                const Clock::time_point launched, double seconds, bool wayland) {
    Figures f;
    const int side = DisplayHeight(display, 0) * 8 / 10;
    if (!rootShows(display, kBoxFace, 5000)) {
        return f;
    }
    f.toNoticeMs = msSince(launched);
    std::this_thread::sleep_for(noticeHold());
    const auto returned = Clock::now();
    tapKey(display, XK_Return);
    if (!rootShows(display, kViewerBackground, side * side / 3)) {
        return f;
    }
    f.toFrameMs = msSince(returned);
    std::this_thread::sleep_for(1s);  // warm-up: shaders compiled, spin steady
    const auto watched = wayland ? topLevelWindows(display) : std::vector<Window>{};
    const auto main =
        wayland ? std::optional<Window>(watched.front()) : findViewableByTitle(display, " Morvane");
    if (!main) {
        return f;
    }
    FrameWatch frames(displayName, *main);
    f.fps = frames.ok() ? framesPerSecond(frames, seconds) : -1;
    const pid_t compositor = wayland ? childNamed("weston") : -1;
    const auto compositorBefore = processCpuTime(compositor);
    f.spinningCpu = cpuShare(program.pid(), 3s);
    const auto compositorAfter = processCpuTime(compositor);
    if (compositor > 0 && compositorBefore && compositorAfter) {
        f.compositorCpu = (*compositorAfter - *compositorBefore).count() / 3000.0;
    }

    const auto root = captureWindow(display, DefaultRootWindow(display));
    auto area = root ? filledCorners(*root, kViewerBackground) : std::nullopt;
    if (!area) {
        return f;
    }
    if (wayland) {
        measureMinimised(display, program, *area, f);
    }
    // weston follows relative motion: pin its pointer at (0, 0) first.
    movePointer(display, DisplayWidth(display, 0) - 1, DisplayHeight(display, 0) - 1);
    movePointer(display, 0, 0);
    movePointer(display, area->x + area->width / 3, area->y + area->height / 4);
    pressButton(display);
    releaseButton(display);
    frames.waitForQuiet(1s, 20s);
    f.stoppedCpu = cpuShare(program.pid(), 3s);
    return f;
}

Figures runX11(const std::string& path, double seconds) {
    XvfbServer xvfb("1280x1024x24");
    XConnection x(xvfb.display());
    const auto launched = Clock::now();
    ProgramProcess program(path, xvfb.display(), {});
    return measure(x.get(), xvfb.display(), program, launched, seconds, false);
}

// The output as large as the X11 screen, so that both viewers are 819 square.
// weston's fade-in and zoom animations are left out: they would be counted.
Figures runWayland(const std::string& path, double seconds) {
    const std::string config = "/tmp/morvane-bench-weston-" + std::to_string(getpid()) + ".ini";
    std::ofstream(config) << "[shell]\nanimation=none\nstartup-animation=none\n";
    XvfbServer xvfb("1280x1024x24");
    WestonServer weston(xvfb.display(), 1280, 1024, {"--config=" + config});
    XConnection x(xvfb.display());
    // Launched once weston shows its desktop, so its own start is not counted.
    const int area = 1280 * 1024;
    if (!waitFor(
            [&] {
                const auto root = captureWindow(x.get(), DefaultRootWindow(x.get()));
                return root && countNear(*root, Rgb{0, 0, 0}) < area / 2;
            },
            20s)) {
        return {};
    }
    const auto launched = Clock::now();
    ProgramProcess program(path, std::nullopt, weston.clientEnvironment());
    const Figures figures = measure(x.get(), xvfb.display(), program, launched, seconds, true);
    std::filesystem::remove(config);
    return figures;
}

void print(const char* name, const Figures& f) {
    std::printf(
        "%-8s launch to notice %6.1f ms, Return to first frame %6.1f ms, %5.1f fps, CPU "
        "spinning %3.0f %%, stopped %4.1f %%",
        name, f.toNoticeMs, f.toFrameMs, f.fps, f.spinningCpu * 100, f.stoppedCpu * 100);
    if (f.compositorCpu >= 0) {
        std::printf(", weston spinning %3.0f %%", f.compositorCpu * 100);
    }
    if (f.minimisedCpu >= 0) {
        std::printf(", minimised %4.1f %% (asleep %.0f ms after the click)", f.minimisedCpu * 100,
                    f.asleepMs);
    }
    if (f.restoredMs >= 0) {
        std::printf(", restored to turning %.0f ms", f.restoredMs);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wayland_bench PROGRAM [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::stod(argv[2]) : 5.0;
    for (int round = 1; round <= 2; ++round) {
        std::printf("round %d\n", round);
        print("X11", runX11(argv[1], seconds));
        print("Wayland", runWayland(argv[1], seconds));
        std::fflush(stdout);
    }
    return 0;
}
