// Stands in for the program behind the real entry point: reports how
// WinMain was called and returns 7.
#include <cstdio>

#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    std::printf("instance=%s previous=%s show=%d line=[%s] height=%d\n",
                instance != nullptr ? "set" : "null", previous != nullptr ? "set" : "null",
                showCommand, commandLine, GetSystemMetrics(SM_CYSCREEN));
    return 7;
}
