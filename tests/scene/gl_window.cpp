#include "tests/scene/gl_window.h"

// First: it defines APIENTRY, which gl.h would otherwise define differently.
#include "platform/platform.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "tests/support/xvfb_server.h"

namespace {

struct GlWindow {
    std::unique_ptr<XvfbServer> server;
    Display* display = nullptr;
    XVisualInfo* visual = nullptr;
    Colormap colormap = 0;
    Window window = 0;
    GLXContext context = nullptr;
    int swaps = 0;
    std::string error;
};

GlWindow glWindow;

bool fail(const std::string& why) {
    glWindow.error = why;
    return false;
}

// Waits for the window's MapNotify, with a deadline rather than a guess.
bool waitUntilMapped() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    XEvent event;
    while (std::chrono::steady_clock::now() < deadline) {
        while (XCheckTypedWindowEvent(glWindow.display, glWindow.window, MapNotify, &event)) {
            return true;
        }
        pollfd p{ConnectionNumber(glWindow.display), POLLIN, 0};
        poll(&p, 1, 50);
    }
    return false;
}

}  // namespace

// The platform's presentation, reduced to what the tests' window needs.
BOOL SwapBuffers(HDC) {
    ++glWindow.swaps;
    glXSwapBuffers(glWindow.display, glWindow.window);
    return TRUE;
}

bool openGlWindow() {
    if (glWindow.display != nullptr) {
        return true;
    }
    glWindow.server = std::make_unique<XvfbServer>("1280x1024x24");
    if (glWindow.server->display().empty()) {
        return fail("Xvfb did not start");
    }
    glWindow.display = XOpenDisplay(glWindow.server->display().c_str());
    if (glWindow.display == nullptr) {
        return fail("cannot open display " + glWindow.server->display());
    }
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    Display* d = glWindow.display;
    glWindow.visual = glXChooseVisual(d, DefaultScreen(d), attributes);
    if (glWindow.visual == nullptr) {
        return fail("no double-buffered RGBA visual with depth");
    }
    const Window root = RootWindow(d, glWindow.visual->screen);
    glWindow.colormap = XCreateColormap(d, root, glWindow.visual->visual, AllocNone);
    XSetWindowAttributes set{};
    set.colormap = glWindow.colormap;
    set.event_mask = StructureNotifyMask;
    glWindow.window =
        XCreateWindow(d, root, 0, 0, kWindowSide, kWindowSide, 0, glWindow.visual->depth,
                      InputOutput, glWindow.visual->visual, CWColormap | CWEventMask, &set);
    XMapWindow(d, glWindow.window);
    if (!waitUntilMapped()) {
        return fail("window never mapped");
    }
    return true;
}

void closeGlWindow() {
    if (glWindow.display == nullptr) {
        return;
    }
    dropContext();
    XDestroyWindow(glWindow.display, glWindow.window);
    XFreeColormap(glWindow.display, glWindow.colormap);
    XFree(glWindow.visual);
    XCloseDisplay(glWindow.display);
    glWindow.display = nullptr;
    glWindow.server.reset();
}

const std::string& glWindowError() {
    return glWindow.error;
}

bool makeFreshContext() {
    dropContext();
    glWindow.context = glXCreateContext(glWindow.display, glWindow.visual, nullptr, True);
    if (glWindow.context == nullptr) {
        return fail("glXCreateContext failed");
    }
    if (!glXMakeCurrent(glWindow.display, glWindow.window, glWindow.context)) {
        return fail("glXMakeCurrent failed");
    }
    glWindow.swaps = 0;
    return true;
}

void dropContext() {
    if (glWindow.context == nullptr) {
        return;
    }
    glXMakeCurrent(glWindow.display, None, nullptr);
    glXDestroyContext(glWindow.display, glWindow.context);
    glWindow.context = nullptr;
}

int swapCount() {
    return glWindow.swaps;
}

std::vector<std::uint8_t> readBackBuffer() {
    std::vector<std::uint8_t> image(3 * kWindowSide * kWindowSide);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWindowSide, kWindowSide, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    return image;
}

Colour pixelOf(const std::vector<std::uint8_t>& image, int x, int y) {
    const std::uint8_t* p = image.data() + 3 * (y * kWindowSide + x);
    return {p[0], p[1], p[2]};
}

int countPixelsUnlike(const std::vector<std::uint8_t>& image, Colour colour, int tolerance) {
    int count = 0;
    for (std::size_t i = 0; i + 2 < image.size(); i += 3) {
        if (std::abs(image[i] - colour.red) > tolerance ||
            std::abs(image[i + 1] - colour.green) > tolerance ||
            std::abs(image[i + 2] - colour.blue) > tolerance) {
            ++count;
        }
    }
    return count;
}

// The projection maps [-1.5, 1.5] onto the 819 pixels of each axis.
int pixelColumn(float eyeX) {
    return static_cast<int>((eyeX + 1.5f) / 3.0f * kWindowSide);
}
int pixelRow(float eyeY) {
    return static_cast<int>((eyeY + 1.5f) / 3.0f * kWindowSide);
}

std::vector<Colour> readWindowImage() {
    XSync(glWindow.display, False);
    XImage* image = XGetImage(glWindow.display, glWindow.window, 0, 0, kWindowSide, kWindowSide,
                              AllPlanes, ZPixmap);
    std::vector<Colour> pixels;
    if (image == nullptr) {
        return pixels;
    }
    const Visual* v = glWindow.visual->visual;
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<int>((pixel >> shift) & mask);
    };
    pixels.reserve(kWindowSide * kWindowSide);
    for (int y = 0; y < kWindowSide; ++y) {
        for (int x = 0; x < kWindowSide; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels.push_back({channel(pixel, v->red_mask), channel(pixel, v->green_mask),
                              channel(pixel, v->blue_mask)});
        }
    }
    XDestroyImage(image);
    return pixels;
}
