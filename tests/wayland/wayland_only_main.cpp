// The viewer over the Wayland backend alone, for trying that backend under
// weston until the X11 layer runs on the shared core too. Test use only.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "platform/linux/linux_backends.h"

// No X11 backend in this program.
const LinuxBackend x11Backend{};
std::string x11OpenDisplay() {
    return "this test program has no X11 backend";
}

int main() {
    const std::string problem = coreConnect();
    if (!problem.empty() || core.backend != &waylandBackend) {
        std::fprintf(stderr, "morvane: %s\n", problem.empty() ? "no Wayland" : problem.c_str());
        return 1;
    }
    auto* module = static_cast<HINSTANCE>(dlopen(nullptr, RTLD_LAZY));
    return WinMain(module, nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
}
