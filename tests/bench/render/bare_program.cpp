// The reference for start-up: the least a GL program on this X server does
// before its first picture. It opens the display, picks the visual, maps a
// window of the viewer's size, draws the viewer's first frame with the same
// scene code and swaps, then spins until it is killed.
//
// Depends on: DISPLAY, GLX 1.2. Cannot: anything a user does; it has no input.
#include "platform/platform.h"
// clang-format off
#include <GL/glx.h>
#include <X11/Xlib.h>
// clang-format on

#include <cstdint>
#include <cstdio>

#include "app/viewer_state.h"
#include "scene/scene.h"

namespace {

Display* display = nullptr;
Window window = None;

bool openWindow() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (visual == nullptr) {
        return false;
    }
    const Window root = RootWindow(display, visual->screen);
    XSetWindowAttributes set{};
    set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    window = XCreateWindow(display, root, 0, 0, 819, 819, 0, visual->depth, InputOutput,
                           visual->visual, CWColormap, &set);
    XStoreName(display, window, "bare GL program");
    XMapWindow(display, window);
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    return context != nullptr && glXMakeCurrent(display, window, context);
}

}  // namespace

BOOL SwapBuffers(HDC) {
    glXSwapBuffers(display, window);
    return TRUE;
}

int main() {
    if (!openWindow()) {
        std::fprintf(stderr, "bare_program: no GL window\n");
        return 1;
    }
    viewer.windowWidth = 819;
    viewer.windowHeight = 819;
    viewer.deviceContext = reinterpret_cast<HDC>(std::uintptr_t{1});
    viewer.renderContext = reinterpret_cast<HGLRC>(std::uintptr_t{1});
    initScene();
    for (;;) {
        renderFrame();
    }
}
