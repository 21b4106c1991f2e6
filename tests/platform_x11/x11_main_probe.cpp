// Stands in for the program behind the real entry point: reports how
// WinMain was called and returns 7. With "wait" it waits for messages
// instead (until the display goes away); with "xerrors" it first provokes
// two X errors, which must be reported once and survived.
#include "platform/x11/x11_layer.h"

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    if (std::strcmp(commandLine, "wait") == 0) {
        std::printf("waiting\n");
        std::fflush(stdout);
        MSG msg;
        return GetMessageA(&msg, nullptr, 0, 0) >= 0 ? 5 : 6;
    }
    if (std::strcmp(commandLine, "xerrors") == 0) {
        XDestroyWindow(x11.display, 0x7fffff);  // no such window, twice
        XDestroyWindow(x11.display, 0x7ffffe);
        XSync(x11.display, False);
    }
    std::printf("instance=%s previous=%s show=%d line=[%s] height=%d\n",
                instance != nullptr ? "set" : "null", previous != nullptr ? "set" : "null",
                showCommand, commandLine, GetSystemMetrics(SM_CYSCREEN));
    return 7;
}
