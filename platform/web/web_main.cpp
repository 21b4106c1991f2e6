// The program's entry in the web build: the web backend is the only one,
// and the page's module stands for the program's own.
//
// Depends on: the core and the web backend.
// Cannot: run outside a page; page.js logs the exit status.
#include <cstdio>
#include <cstdlib>

#include "platform/core.h"
#include "platform/web/web_backend.h"

namespace {

const PlatformBackend* const kBackends[] = {&webBackend};

}  // namespace

int main() {
    const std::string problem = coreConnect(kBackends);
    if (!problem.empty()) {
        std::fprintf(stderr, "morvane: %s\n", problem.c_str());
        return 1;
    }
    static char noArguments[] = "";
    // Any non-null value names the module; nothing loads resources from it.
    auto* module = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
    // Said outright: a main that returns after ASYNCIFY resumed it ends
    // nothing, and the page must hear the status.
    std::exit(WinMain(module, nullptr, noArguments, SW_SHOWNORMAL));
}
