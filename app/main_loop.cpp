#include "app/shell.h"
#include "app/viewer_state.h"
#include "scene/scene.h"

void requestRedraw() {
    if (viewer.idleHook == nullptr) {
        viewer.idleHook = idleRender;
    }
}

void idleRender() {
    if (viewer.keepAnimating == 0) {
        viewer.idleHook = nullptr;
    }
    renderFrame();
}

namespace {

// Nobody sees frames of a minimised or unmapped window, so none are drawn:
// the hook stays installed and runs again once a restore's paint wakes us.
bool windowHidden() {
    return IsIconic(WindowFromDC(viewer.deviceContext)) != FALSE;
}

}  // namespace

// Draws back to back while a hook is installed, but lets every waiting
// message through first; sleeps in GetMessageA when nothing asks for frames
// or nothing can be seen.
int runMainLoop() {
    MSG msg{};
    for (;;) {
        while (viewer.idleHook != nullptr) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) || windowHidden()) {
                break;
            }
            viewer.idleHook();
        }
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            return static_cast<int>(msg.wParam);
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
