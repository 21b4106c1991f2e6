// The X side of the core's windows: making and destroying the X windows,
// showing, moving and sizing them, the pointer grab, screen metrics, and the
// X properties a window manager reads (WM_CLASS, titles, size hints,
// protocols, icon).
//
// Depends on: Xlib and the core's window records; x11_glx.cpp creates the X
// window when a pixel format is set, x11_messages.cpp delivers what the X
// server reports.
// Cannot: an outer size that includes the frame: the frame belongs to the
// window manager, so sizes here are client sizes. A size forced by a window
// manager is not the drawable's: the picture child keeps the program's
// size, centred on a black margin.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <errno.h>

namespace {

void setTextProperty(Window xwindow, Atom property, Atom type, const std::string& text) {
    XChangeProperty(x11.display, xwindow, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
}

// Min = max: the window cannot be resized by the user; an outside resize is
// still reported so that the program can snap back.
void setSizeHints(const WindowRecord& record, Window xwindow) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) {
        return;
    }
    hints->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    hints->x = record.x;
    hints->y = record.y;
    hints->width = hints->min_width = hints->max_width = record.width;
    hints->height = hints->min_height = hints->max_height = record.height;
    XSetWMNormalHints(x11.display, xwindow, hints);
    XFree(hints);
}

void setClassHint(const WindowRecord& record, Window xwindow) {
    std::string name = program_invocation_short_name;
    std::string className = record.className;
    XClassHint hint{name.data(), className.data()};
    XSetClassHint(x11.display, xwindow, &hint);
}

void setWindowProperties(const WindowRecord& record, Window xwindow) {
    setTextProperty(xwindow, XA_WM_NAME, XA_STRING, record.title);
    setTextProperty(xwindow, XA_WM_ICON_NAME, XA_STRING, record.title);
    setTextProperty(xwindow, x11.netWmName, x11.utf8String, record.title);
    setClassHint(record, xwindow);
    setSizeHints(record, xwindow);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(x11.display, xwindow, &wmHints);
    x11SetWmProtocols(xwindow, true);
    x11SetClientProperties(xwindow);
    x11SetIconProperty(xwindow, record.icon);
}

// The picture selects no mouse events, so they pass up to the top-level,
// which also sees them in the margin and under a grab.
constexpr long kWindowEvents = ExposureMask | StructureNotifyMask | PropertyChangeMask |
                               KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask;
constexpr long kPictureEvents = ExposureMask;

// Black sets the margin apart from any picture the renderer draws (its
// backgrounds are greys) and is pixel 0 in a TrueColor colormap of our own;
// on a palette visual pixel 0 is whatever the palette's first entry is.
unsigned long marginPixel(const X11Window& window) {
    return window.ownsColormap ? 0 : BlackPixel(x11.display, x11.screen);
}

Colormap colormapFor(X11Window& window, const XVisualInfo* visual) {
    const Window root = RootWindow(x11.display, x11.screen);
    // A palette is stored straight into a writable colormap of its own.
    if (visual != nullptr && x11NeedsPalette(*visual)) {
        window.ownsColormap = true;
        return XCreateColormap(x11.display, root, visual->visual, AllocAll);
    }
    const Visual* defaultVisual = DefaultVisual(x11.display, x11.screen);
    if (visual == nullptr ||
        visual->visualid == XVisualIDFromVisual(const_cast<Visual*>(defaultVisual))) {
        window.ownsColormap = false;
        return DefaultColormap(x11.display, x11.screen);
    }
    window.ownsColormap = true;
    return XCreateColormap(x11.display, root, visual->visual, AllocNone);
}

void destroyXWindow(X11Window& window) {
    if (window.xwindow != None) {
        XDestroyWindow(x11.display, window.xwindow);  // and the picture with it
        window.xwindow = None;
    }
    window.picture = None;
    window.mapped = false;
    window.iconic = false;
    if (window.ownsColormap) {
        XFreeColormap(x11.display, window.colormap);
        window.ownsColormap = false;
    }
    window.colormap = None;
}

X11Window& nativeFor(WindowRecord& record) {
    X11Window* window = x11WindowOf(record);
    if (window == nullptr) {
        auto made = std::make_unique<X11Window>();
        window = made.get();
        record.native = std::move(made);
    }
    return *window;
}

// Both windows share the visual and colormap, so the window manager
// installs the picture's colormap and screenshots of either agree.
void makeXWindows(const WindowRecord& record, X11Window& window, const XVisualInfo* visual) {
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = kWindowEvents;
    attributes.colormap = window.colormap = colormapFor(window, visual);
    attributes.background_pixel = marginPixel(window);
    attributes.cursor = record.cursor == coreArrowCursor() ? x11ArrowCursor() : None;
    const unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask | CWColormap | CWCursor;
    const int depth = visual != nullptr ? visual->depth : DefaultDepth(x11.display, x11.screen);
    Visual* xvisual = visual != nullptr ? visual->visual : DefaultVisual(x11.display, x11.screen);
    const auto width = static_cast<unsigned>(record.width);
    const auto height = static_cast<unsigned>(record.height);

    window.xwindow =
        XCreateWindow(x11.display, RootWindow(x11.display, x11.screen), record.x, record.y, width,
                      height, 0, depth, InputOutput, xvisual, mask, &attributes);
    XSetWindowAttributes pictureAttributes{};
    pictureAttributes.background_pixmap = None;  // the renderer paints everything
    pictureAttributes.border_pixel = 0;
    pictureAttributes.event_mask = kPictureEvents;
    pictureAttributes.colormap = window.colormap;
    window.picture = XCreateWindow(
        x11.display, window.xwindow, 0, 0, width, height, 0, depth, InputOutput, xvisual,
        CWBackPixmap | CWBorderPixel | CWEventMask | CWColormap, &pictureAttributes);
    window.pictureX = window.pictureY = 0;
    XMapWindow(x11.display, window.picture);
}

}  // namespace

X11Window* x11WindowOf(const WindowRecord& record) {
    return coreNativeOf<X11Window>(record, x11Backend);
}

WindowRecord* x11WindowFromX(Window xwindow) {
    if (xwindow == None) {
        return nullptr;
    }
    for (auto& record : core.windows) {
        const X11Window* window = record->alive ? x11WindowOf(*record) : nullptr;
        if (window != nullptr && (window->xwindow == xwindow || window->picture == xwindow)) {
            return record.get();
        }
    }
    return nullptr;
}

void x11PlacePicture(WindowRecord& record) {
    X11Window* window = x11WindowOf(record);
    if (window == nullptr) {
        return;
    }
    window->pictureX = (record.reportedWidth - record.width) / 2;
    window->pictureY = (record.reportedHeight - record.height) / 2;
    if (window->picture != None) {
        XMoveResizeWindow(x11.display, window->picture, window->pictureX, window->pictureY,
                          static_cast<unsigned>(record.width),
                          static_cast<unsigned>(record.height));
    }
}

bool x11CreateXWindow(WindowRecord& record, const XVisualInfo* visual) {
    X11Window& window = nativeFor(record);
    destroyXWindow(window);
    const unsigned long errorsBefore = x11.errorCount;
    makeXWindows(record, window, visual);
    x11SyncErrors();
    if (x11.errorCount != errorsBefore) {
        destroyXWindow(window);
        return false;
    }
    setWindowProperties(record, window.xwindow);
    if (record.visible) {  // shown before its pixel format was set
        XMapWindow(x11.display, window.xwindow);
    }
    XFlush(x11.display);
    return true;
}

void x11ShowWindow(WindowRecord& record, bool show) {
    const X11Window* window = x11WindowOf(record);
    if (window == nullptr || window->xwindow == None) {
        return;
    }
    if (show) {
        XMapWindow(x11.display, window->xwindow);
    } else {
        XUnmapWindow(x11.display, window->xwindow);
    }
    XFlush(x11.display);
}

// Minimised, or not on screen at all: nothing drawn there can be seen.
bool x11Iconic(const WindowRecord& record) {
    const X11Window* window = x11WindowOf(record);
    return window != nullptr && window->xwindow != None && (window->iconic || !window->mapped);
}

void x11MoveWindow(WindowRecord& record) {
    const X11Window* window = x11WindowOf(record);
    if (window != nullptr && window->xwindow != None) {
        XMoveWindow(x11.display, window->xwindow, record.x, record.y);
        XFlush(x11.display);
    }
}

void x11ResizeWindow(WindowRecord& record) {
    const X11Window* window = x11WindowOf(record);
    if (window == nullptr || window->xwindow == None) {
        return;
    }
    setSizeHints(record, window->xwindow);
    XResizeWindow(x11.display, window->xwindow, static_cast<unsigned>(record.width),
                  static_cast<unsigned>(record.height));
    x11PlacePicture(record);  // a manager may refuse the new size
    XFlush(x11.display);
}

void x11DestroyWindow(WindowRecord& record) {
    X11Window* window = x11WindowOf(record);
    if (window == nullptr) {
        return;
    }
    // A context still current on the window would draw into a dead drawable.
    if (window->picture != None && glXGetCurrentDrawable() == window->picture) {
        glXMakeCurrent(x11.display, None, nullptr);
    }
    destroyXWindow(*window);
    XFlush(x11.display);
}

int x11ScreenMetric(int index) {
    return index == SM_CXSCREEN ? x11PrimaryMonitor().width : x11PrimaryMonitor().height;
}

// Grabs relative to this window: coordinates outside it come negative.
bool x11GrabPointer(WindowRecord& record) {
    const X11Window* window = x11WindowOf(record);
    if (window == nullptr || window->xwindow == None) {
        return false;
    }
    return XGrabPointer(x11.display, window->xwindow, False,
                        ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                        GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
}

void x11ReleasePointer() {
    if (x11.display != nullptr) {
        XUngrabPointer(x11.display, CurrentTime);
        XFlush(x11.display);
    }
}
