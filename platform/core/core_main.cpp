// The program's entry on every system but Windows: chooses the window
// system, then hands over to WinMain with the program's own module and the
// ordinary show command, as Windows would.
//
// Depends on: the core and the backend tables listed below, dlopen for the
// module.
// Cannot: run without a display; it says so in one line and exits with 1
// rather than wait for one.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "platform/core.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/x11/x11_backend.h"

namespace {

// Tried in order: Wayland when WAYLAND_DISPLAY names a compositor that
// answers, then X11.
const PlatformBackend* const kBackends[] = {&waylandBackend, &x11Backend};

}  // namespace

int main(int argc, char** argv) {
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
    return WinMain(module, nullptr, commandLine.data(), SW_SHOWNORMAL);
}
