// Pixel formats and GL over EGL with desktop OpenGL: a format is an EGL
// config that draws OpenGL into windows, numbered from 1 in EGL's order;
// contexts are compatibility contexts; window surfaces are back-buffered.
//
// The warm-up's context is made and drawn with on the core's helper thread,
// on a surface that is never committed, and handed to the main thread
// unbound. EGL's display and its configs are made once, under a lock, by
// whichever thread asks first; the API to bind is each thread's own.
//
// Depends on: EGL 1.4 with the Wayland platform, wayland-egl; libwayland's
// thread safety (EGL reads its events on a queue of its own, the main
// thread reads through prepare_read) for the helper.
// Cannot: colour-index formats or palettes; swap intervals: Mesa's interval
// 1 waits for ever on a hidden window, so swaps wait for frame callbacks
// themselves, with a bound.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/wayland/wayland_layer.h"

namespace {

EGLint configValue(EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    return eglGetConfigAttrib(wl.egl, config, attribute, &value) ? value : 0;
}

void loadConfigs() {
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT,        EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,   EGL_COLOR_BUFFER_TYPE, EGL_RGB_BUFFER,
                             EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(wl.egl, wanted, nullptr, 0, &count) || count <= 0) {
        return;
    }
    wl.configs.resize(static_cast<std::size_t>(count));
    eglChooseConfig(wl.egl, wanted, wl.configs.data(), count, &count);
    wl.configs.resize(static_cast<std::size_t>(count));
}

int formatOfConfig(EGLConfig config) {
    for (std::size_t i = 0; i < wl.configs.size(); ++i) {
        if (wl.configs[i] == config) {
            return static_cast<int>(i + 1);
        }
    }
    return 0;
}

BYTE byte(EGLint value) {
    return static_cast<BYTE>(std::clamp<EGLint>(value, 0, 255));
}

}  // namespace

// Once per run; false when EGL has no desktop OpenGL for this compositor.
// The warm-up's helper may be the first to ask.
bool waylandEglReady() {
    static std::mutex settingUp;
    const std::lock_guard<std::mutex> lock(settingUp);
    if (wl.eglReady) {
        return !wl.configs.empty();
    }
    wl.eglReady = true;
    wl.egl = eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(wl.display));
    EGLint major = 0;
    EGLint minor = 0;
    if (wl.egl == EGL_NO_DISPLAY || !eglInitialize(wl.egl, &major, &minor)) {
        return false;
    }
    loadConfigs();
    return !wl.configs.empty();
}

PIXELFORMATDESCRIPTOR waylandDescribeConfig(EGLConfig config) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cRedBits = byte(configValue(config, EGL_RED_SIZE));
    pfd.cGreenBits = byte(configValue(config, EGL_GREEN_SIZE));
    pfd.cBlueBits = byte(configValue(config, EGL_BLUE_SIZE));
    pfd.cAlphaBits = byte(configValue(config, EGL_ALPHA_SIZE));
    // Shifts of xRGB / ARGB words, the layout Wayland buffers have.
    pfd.cBlueShift = 0;
    pfd.cGreenShift = pfd.cBlueBits;
    pfd.cRedShift = byte(pfd.cBlueBits + pfd.cGreenBits);
    pfd.cAlphaShift = pfd.cAlphaBits > 0 ? byte(pfd.cRedShift + pfd.cRedBits) : 0;
    pfd.cColorBits = byte(pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
    pfd.cDepthBits = byte(configValue(config, EGL_DEPTH_SIZE));
    pfd.cStencilBits = byte(configValue(config, EGL_STENCIL_SIZE));
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

namespace {

// The first config with 8 bits a colour channel, and alpha only when asked:
// EGL puts deeper colour first, and weston composites 10-bit shm buffers on
// a slow floating-point path. X11 and Win32 give 8 bits here too.
EGLConfig closestToEightBits(const std::vector<EGLConfig>& matches, bool alpha) {
    for (EGLConfig config : matches) {
        if (configValue(config, EGL_RED_SIZE) == 8 && configValue(config, EGL_GREEN_SIZE) == 8 &&
            configValue(config, EGL_BLUE_SIZE) == 8 &&
            (configValue(config, EGL_ALPHA_SIZE) > 0) == alpha) {
            return config;
        }
    }
    return matches.front();
}

}  // namespace

// EGL sorts matches by the smallest depth buffer that meets the request,
// which is what ChoosePixelFormat does too.
int waylandChooseFormat(const PIXELFORMATDESCRIPTOR& request) {
    if (!waylandEglReady() || request.iPixelType != PFD_TYPE_RGBA ||
        (request.dwFlags & PFD_SUPPORT_OPENGL) == 0) {
        return 0;
    }
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_COLOR_BUFFER_TYPE,
                             EGL_RGB_BUFFER,
                             EGL_RED_SIZE,
                             1,
                             EGL_GREEN_SIZE,
                             1,
                             EGL_BLUE_SIZE,
                             1,
                             EGL_ALPHA_SIZE,
                             request.cAlphaBits > 0 ? 1 : 0,
                             EGL_DEPTH_SIZE,
                             request.cDepthBits,
                             EGL_STENCIL_SIZE,
                             request.cStencilBits,
                             EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(wl.egl, wanted, nullptr, 0, &count) || count < 1) {
        return 0;
    }
    std::vector<EGLConfig> matches(static_cast<std::size_t>(count));
    if (!eglChooseConfig(wl.egl, wanted, matches.data(), count, &count) || count < 1) {
        return 0;
    }
    matches.resize(static_cast<std::size_t>(count));
    return formatOfConfig(closestToEightBits(matches, request.cAlphaBits > 0));
}

namespace {

// Null for a format EGL does not offer.
EGLConfig configOfFormat(int format) {
    if (!waylandEglReady() || format < 1 || static_cast<std::size_t>(format) > wl.configs.size()) {
        return nullptr;
    }
    return wl.configs[static_cast<std::size_t>(format) - 1];
}

// An EGL window surface of the config on a wl_surface, or none.
EGLSurface windowSurface(EGLConfig config, wl_surface* surface, int width, int height,
                         wl_egl_window*& eglWindow) {
    eglWindow = wl_egl_window_create(surface, width, height);
    if (eglWindow == nullptr) {
        return EGL_NO_SURFACE;
    }
    EGLSurface made = eglCreateWindowSurface(
        wl.egl, config, reinterpret_cast<EGLNativeWindowType>(eglWindow), nullptr);
    if (made == EGL_NO_SURFACE) {
        wl_egl_window_destroy(eglWindow);
        eglWindow = nullptr;
    }
    return made;
}

// The bound API is the calling thread's: the helper and the main thread
// each bind it. No version asked: Mesa then gives the compatibility profile.
EGLContext newContext(EGLConfig config) {
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return EGL_NO_CONTEXT;
    }
    return eglCreateContext(wl.egl, config, EGL_NO_CONTEXT, nullptr);
}

// Where the warm-up draws: a surface with no role, never committed, so the
// compositor never shows it, with an EGL window surface of the window's own
// config. A pbuffer would need a config that offers pbuffers too, which is
// not the one the window uses; this one has the window's buffers exactly.
struct HiddenDrawable {
    wl_surface* surface = nullptr;
    wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;
};

constexpr int kHiddenSide = 64;

HiddenDrawable makeHiddenDrawable(EGLConfig config) {
    HiddenDrawable hidden;
    hidden.surface = wl_compositor_create_surface(wl.compositor);
    if (hidden.surface != nullptr) {
        hidden.eglSurface =
            windowSurface(config, hidden.surface, kHiddenSide, kHiddenSide, hidden.eglWindow);
    }
    return hidden;
}

// Sent at once: the main thread may be asleep until the user acts.
void freeHiddenDrawable(const HiddenDrawable& hidden) {
    if (hidden.eglSurface != EGL_NO_SURFACE) {
        eglDestroySurface(wl.egl, hidden.eglSurface);
    }
    if (hidden.eglWindow != nullptr) {
        wl_egl_window_destroy(hidden.eglWindow);
    }
    if (hidden.surface != nullptr) {
        wl_surface_destroy(hidden.surface);
    }
    wl_display_flush(wl.display);
}

// The draw, with the context current on the hidden surface; false when
// EGL refused it.
bool drawHidden(EGLContext context, const HiddenDrawable& hidden, void (*draw)()) {
    if (hidden.eglSurface == EGL_NO_SURFACE ||
        !eglMakeCurrent(wl.egl, hidden.eglSurface, hidden.eglSurface, context)) {
        return false;
    }
    draw();
    glFinish();  // the shaders are built while the frame is drawn
    eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return true;
}

// The viewport and scissor box EGL gives a context the first time it is
// made current, for the context that met the hidden surface first.
void setFirstViewport(EGLContext context, const WaylandWindow& window) {
    if (context == wl.needsViewport) {
        wl.needsViewport = EGL_NO_CONTEXT;
        glViewport(0, 0, window.drawWidth, window.drawHeight);
        glScissor(0, 0, window.drawWidth, window.drawHeight);
    }
}

}  // namespace

bool waylandMakeEglSurface(WaylandWindow& window, int format) {
    EGLConfig config = configOfFormat(format);
    if (config == nullptr) {
        return false;
    }
    window.eglSurface = windowSurface(config, window.glSurface, window.drawWidth, window.drawHeight,
                                      window.eglWindow);
    return window.eglSurface != EGL_NO_SURFACE;
}

void* waylandWarmContext(int format, void (*draw)()) {
    EGLConfig config = configOfFormat(format);
    if (config == nullptr) {
        return nullptr;
    }
    EGLContext context = newContext(config);
    if (context == EGL_NO_CONTEXT) {
        return nullptr;
    }
    const HiddenDrawable hidden = makeHiddenDrawable(config);
    const bool drawn = drawHidden(context, hidden, draw);
    freeHiddenDrawable(hidden);
    if (!drawn) {
        eglDestroyContext(wl.egl, context);
        return nullptr;
    }
    wl.needsViewport = context;  // read on the main thread once the helper is joined
    return context;
}

HGLRC waylandCreateContext(WindowRecord& record) {
    EGLConfig config = configOfFormat(record.pixelFormat);
    if (config == nullptr) {
        return nullptr;
    }
    EGLContext context = newContext(config);
    if (context == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "morvane: cannot create an OpenGL rendering context\n");
        return nullptr;
    }
    return coreAddContext(context);
}

bool waylandMakeCurrent(WindowRecord* record, HGLRC context) {
    if (wl.egl == EGL_NO_DISPLAY) {
        return false;
    }
    if (record == nullptr) {
        return eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
    }
    WaylandWindow* window = waylandWindowOf(*record);
    EGLContext egl = coreContextOf(context);
    if (window == nullptr || window->eglSurface == EGL_NO_SURFACE || egl == EGL_NO_CONTEXT) {
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API) ||
        !eglMakeCurrent(wl.egl, window->eglSurface, window->eglSurface, egl)) {
        std::fprintf(stderr, "morvane: cannot make the OpenGL rendering context current\n");
        return false;
    }
    // Mesa's own pacing would block for ever on a hidden window.
    eglSwapInterval(wl.egl, 0);
    setFirstViewport(egl, *window);
    return true;
}

bool waylandDeleteContext(HGLRC context) {
    EGLContext egl = coreContextOf(context);
    if (egl == EGL_NO_CONTEXT) {
        return false;
    }
    if (eglGetCurrentContext() == egl) {
        eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (egl == wl.needsViewport) {
        wl.needsViewport = EGL_NO_CONTEXT;
    }
    eglDestroyContext(wl.egl, egl);
    coreForgetContext(context);
    return true;
}

bool waylandSwap(WindowRecord& record) {
    WaylandWindow* window = waylandWindowOf(record);
    if (window == nullptr || window->eglSurface == EGL_NO_SURFACE) {
        return false;
    }
    // One picture per frame the compositor grants, so that drawing does not
    // starve it; a window out of sight is not waited for.
    waylandAwaitFrame(*window);
    waylandAskForFrame(*window);
    if (eglSwapBuffers(wl.egl, window->eglSurface) != EGL_TRUE) {
        return false;
    }
    waylandPictureCommitted(*window);
    return true;
}
