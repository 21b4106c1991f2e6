// Prints the viewer's frame rate and CPU on headless sway (pixman), against
// weston-simple-egl on the same sway; and its CPU once stopped by a click,
// and hidden on another workspace. Frames are counted from each client's
// protocol log (WAYLAND_DEBUG): one frame request per picture. Also the
// viewer's size at scales 1, 2 and 1 again, changed live, with pictures.
// Run by hand: build/default/tests/wayland/sway_bench [seconds]
#include <linux/input-event-codes.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/image_file.h"
#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"
#include "tests/support/sway_server.h"
#include "tests/support/virtual_input.h"
#include "tests/support/wait_for.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// GL pictures asked for over the period: each swap asks for a frame.
double framesPerSecond(ProgramProcess& program, double seconds) {
    const std::size_t before = countOf(program.stderrText(), ".frame(new id");
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return (countOf(program.stderrText(), ".frame(new id") - before) / seconds;
}

// The viewer's size in device pixels once the scale has been changed to
// this, and the picture kept for a person to look at.
void showScale(SwayServer& sway, int scale) {
    sway.message("output HEADLESS-1 scale " + std::to_string(scale));
    std::this_thread::sleep_for(2s);
    const RgbImage output = sway.screenshot();
    const auto area = output.empty() ? std::nullopt : filledCorners(output, kViewerBackground);
    const std::string path = "sway-scale" + std::to_string(scale) + ".png";
    const bool kept = !output.empty() && savePng(output, path);
    std::printf("at scale %d the viewer is %d x %d device pixels, %d one-pixel steps%s%s\n", scale,
                area ? area->width : 0, area ? area->height : 0,
                area ? hardStepsInsidePairs(cropped(output, *area), kViewerBackground, 100) : 0,
                kept ? ", kept in " : "", kept ? path.c_str() : "");
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5;
    SwayServer sway(1280, 1024);
    VirtualInput input(sway.clientEnvironment());
    if (!sway.running() || !input.ready() || !input.plugKeyboard() || !input.plugPointer()) {
        std::printf("sway or its virtual input did not start\n");
        return 1;
    }
    auto environment = sway.clientEnvironment();
    environment.push_back("WAYLAND_DEBUG=client");
    ProgramProcess program(sway.programCopy(MORVANE_WAYLAND_PROGRAM), std::nullopt, environment);
    const auto viewer = waitForValue(
        [&]() -> std::optional<Area> {
            input.tap(KEY_ENTER);
            const RgbImage output = sway.screenshot();
            return output.empty() ? std::nullopt : filledCorners(output, kViewerBackground);
        },
        60s, 500ms);
    if (!viewer) {
        std::printf("no viewer\n");
        return 1;
    }
    std::this_thread::sleep_for(1s);  // warm-up
    for (const int scale : {1, 2, 1}) {
        showScale(sway, scale);
    }
    const double fps = framesPerSecond(program, seconds);
    const double spinning = cpuShare(program.pid(), 3s);
    input.moveTo(viewer->x + viewer->width / 2, viewer->y + viewer->height / 2, 1280, 1024);
    input.leftButton(true);
    input.leftButton(false);
    std::this_thread::sleep_for(1s);
    const double stopped = cpuShare(program.pid(), 3s);
    input.leftButton(true);  // a drag to spin it again, then out of sight
    input.moveTo(viewer->x + viewer->width / 2 + 100, viewer->y + viewer->height / 2, 1280, 1024);
    input.leftButton(false);
    sway.message("workspace 2");
    std::this_thread::sleep_for(2s);
    const double hidden = cpuShare(program.pid(), 3s);
    std::printf(
        "morvane on sway: %5.1f fps, CPU %5.1f %% spinning, %4.1f %% stopped, %4.1f %% "
        "hidden on another workspace\n",
        fps, spinning * 100, stopped * 100, hidden * 100);

    // Its EGL asks for a frame per swap too, so the same count serves.
    ProgramProcess egl("/usr/bin/weston-simple-egl", std::nullopt, environment);
    std::this_thread::sleep_for(2s);
    const double eglFps = framesPerSecond(egl, seconds);
    const double eglCpu = cpuShare(egl.pid(), 3s);
    std::printf("weston-simple-egl on the same sway: %5.1f fps, CPU %5.1f %%\n", eglFps,
                eglCpu * 100);
    return 0;
}
