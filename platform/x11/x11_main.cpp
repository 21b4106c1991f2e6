// The Linux entry point: connects to the compositor named by
// $WAYLAND_DISPLAY, else to the X display, and hands over to WinMain with
// the program's own module and the ordinary show command.
//
// Depends on: the Linux core and its backends, dlopen for the module.
// Cannot: run without a display; it says so in one line and exits with 1
// rather than wait for one.
#include "platform/x11/x11_layer.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string problem = coreConnect();
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
