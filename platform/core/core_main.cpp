// The program's entry on every system but Windows: chooses the window
// system, then hands over to WinMain with the program's own module and the
// ordinary show command, as Windows would. It registers the warm-up: the
// program's own pixel format request and its first frames, drawn while the
// first message box waits (core_warm.cpp). The first box's font is matched
// on a helper thread while the window system is connected.
//
// Depends on: the core and the backend tables listed below, dlopen for the
// module, glcontext/ and scene/ for the warm-up, platform/dialog for the font.
// Cannot: run without a display; it says so in one line and exits with 1
// rather than wait for one.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "glcontext/pixel_format.h"
#include "platform/core.h"
#include "platform/dialog/dialog_text.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/x11/x11_backend.h"
#include "scene/scene.h"

namespace {

// Tried in order: Wayland when WAYLAND_DISPLAY names a compositor that
// answers, then X11.
const PlatformBackend* const kBackends[] = {&waylandBackend, &x11Backend};

}  // namespace

int main(int argc, char** argv) {
    prefetchDesktopFont();  // the notice's font, matched while the display is opened
    const std::string problem = coreConnect(kBackends);
    if (!problem.empty()) {
        std::fprintf(stderr, "morvane: %s\n", problem.c_str());
        return 1;
    }
    // The command line as Win32 passes it: the arguments after the program.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "");
        commandLine += argv[i];
    }
    // The main program's own handle is what Win32 calls its module.
    auto* module = static_cast<HINSTANCE>(dlopen(nullptr, RTLD_LAZY));
    coreSetWarmUp(pixelFormatRequest(), drawWarmUpFrame);
    const int status = WinMain(module, nullptr, commandLine.data(), SW_SHOWNORMAL);
    coreEndWarmUp();
    return status;
}
