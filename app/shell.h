// The application shell: entry, idle-driven main loop, window procedure.
#pragma once

#include "platform/platform.h"

// Installs idleRender as the idle hook unless a hook is already installed.
// Never draws by itself.
void requestRedraw();

// The only idle hook: removes itself unless the model keeps animating, then
// draws one frame.
void idleRender();

// Runs the idle-driven message loop until the quit message; returns its code.
int runMainLoop();

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr const char* kUsageNotice = " mouse: touch the window image for movement----- ";
inline constexpr const char* kNoticeCaption = "Morvane 1.0";
