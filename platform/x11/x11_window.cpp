// Window classes and windows over Xlib: creation and destruction with their
// synchronous messages, showing, sizing, painting state, mouse capture,
// device contexts, screen metrics, and the X properties a window manager
// reads (WM_CLASS, titles, size hints, protocols, icon).
//
// Depends on: Xlib; x11_glx.cpp creates the X window when a pixel format is
// set, x11_messages.cpp delivers what the X server reports.
// Cannot: child windows (every window is top-level), menus, styles beyond a
// fixed-size framed window, or an outer size that includes the frame: the
// frame belongs to the window manager, so sizes here are client sizes. A
// size forced by a window manager is not the drawable's: the picture child
// keeps the program's size, centred on a black margin.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <errno.h>
#include <strings.h>

#include <algorithm>

namespace {

// The stock arrow cursor needs no resource; any non-null value names it.
HCURSOR const kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(32512));

void setTextProperty(Window xwindow, Atom property, Atom type, const std::string& text) {
    XChangeProperty(x11.display, xwindow, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
}

// Min = max: the window cannot be resized by the user; an outside resize is
// still reported so that the program can snap back.
void setSizeHints(const WindowRecord& record) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) {
        return;
    }
    hints->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    hints->x = record.x;
    hints->y = record.y;
    hints->width = hints->min_width = hints->max_width = record.width;
    hints->height = hints->min_height = hints->max_height = record.height;
    XSetWMNormalHints(x11.display, x11Of(record).xwindow, hints);
    XFree(hints);
}

void setClassHint(const WindowRecord& record) {
    std::string name = program_invocation_short_name;
    std::string className = record.className;
    XClassHint hint{name.data(), className.data()};
    XSetClassHint(x11.display, x11Of(record).xwindow, &hint);
}

void setWindowProperties(const WindowRecord& record) {
    setTextProperty(x11Of(record).xwindow, XA_WM_NAME, XA_STRING, record.title);
    setTextProperty(x11Of(record).xwindow, XA_WM_ICON_NAME, XA_STRING, record.title);
    setTextProperty(x11Of(record).xwindow, x11.netWmName, x11.utf8String, record.title);
    setClassHint(record);
    setSizeHints(record);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(x11.display, x11Of(record).xwindow, &wmHints);
    x11SetWmProtocols(x11Of(record).xwindow, true);
    x11SetClientProperties(x11Of(record).xwindow);
    x11SetIconProperty(x11Of(record).xwindow, record.icon);
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
unsigned long marginPixel(const WindowRecord& record) {
    return x11Of(record).ownsColormap ? 0 : BlackPixel(x11.display, x11.screen);
}

Colormap colormapFor(WindowRecord& record, const XVisualInfo* visual) {
    const Window root = RootWindow(x11.display, x11.screen);
    // A palette is stored straight into a writable colormap of its own.
    if (visual != nullptr && x11NeedsPalette(*visual)) {
        x11Of(record).ownsColormap = true;
        return XCreateColormap(x11.display, root, visual->visual, AllocAll);
    }
    const Visual* defaultVisual = DefaultVisual(x11.display, x11.screen);
    if (visual == nullptr ||
        visual->visualid == XVisualIDFromVisual(const_cast<Visual*>(defaultVisual))) {
        x11Of(record).ownsColormap = false;
        return DefaultColormap(x11.display, x11.screen);
    }
    x11Of(record).ownsColormap = true;
    return XCreateColormap(x11.display, root, visual->visual, AllocNone);
}

void destroyXWindow(WindowRecord& record) {
    if (x11Of(record).xwindow != None) {
        XDestroyWindow(x11.display, x11Of(record).xwindow);  // and the picture with it
        x11Of(record).xwindow = None;
    }
    x11Of(record).picture = None;
    x11Of(record).mapped = false;
    x11Of(record).iconic = false;
    if (x11Of(record).ownsColormap) {
        XFreeColormap(x11.display, x11Of(record).colormap);
        x11Of(record).ownsColormap = false;
    }
    x11Of(record).colormap = None;
}

}  // namespace

X11Window& x11Of(WindowRecord& record) {
    auto* window = dynamic_cast<X11Window*>(record.native.get());
    if (window != nullptr) {
        return *window;
    }
    static X11Window none;  // no X window yet: nothing to read, nowhere to keep
    none = X11Window{};
    return none;
}

const X11Window& x11Of(const WindowRecord& record) {
    return x11Of(const_cast<WindowRecord&>(record));
}

WindowRecord* x11FindWindow(HWND window) {
    return coreFindWindow(window);
}

WindowRecord* x11WindowFromDc(HDC dc) {
    return coreWindowFromDc(dc);
}

WindowRecord* x11WindowFromX(Window xwindow) {
    if (xwindow == None) {
        return nullptr;
    }
    for (auto& record : core.windows) {
        if (record->alive &&
            (x11Of(*record).xwindow == xwindow || x11Of(*record).picture == xwindow)) {
            return record.get();
        }
    }
    return nullptr;
}

HWND x11Handle(const WindowRecord& record) {
    return coreHandle(record);
}

HDC x11DcHandle(const WindowRecord& record) {
    return coreDcHandle(record);
}

LRESULT x11Send(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam) {
    return coreSend(record, message, wParam, lParam);
}

void x11PlacePicture(WindowRecord& record) {
    x11Of(record).pictureX = (record.reportedWidth - record.width) / 2;
    x11Of(record).pictureY = (record.reportedHeight - record.height) / 2;
    if (x11Of(record).picture != None) {
        XMoveResizeWindow(x11.display, x11Of(record).picture, x11Of(record).pictureX,
                          x11Of(record).pictureY, static_cast<unsigned>(record.width),
                          static_cast<unsigned>(record.height));
    }
}

bool x11CreateXWindow(WindowRecord& record, const XVisualInfo* visual) {
    destroyXWindow(record);
    if (dynamic_cast<X11Window*>(record.native.get()) == nullptr) {
        record.native = std::make_unique<X11Window>();
    }

    // Both windows share the visual and colormap, so the window manager
    // installs the picture's colormap and screenshots of either agree.
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = kWindowEvents;
    attributes.colormap = x11Of(record).colormap = colormapFor(record, visual);
    attributes.background_pixel = marginPixel(record);
    attributes.cursor = record.cursor == kArrowCursor ? x11.arrowCursor : None;
    const unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask | CWColormap | CWCursor;
    const int depth = visual != nullptr ? visual->depth : DefaultDepth(x11.display, x11.screen);
    Visual* xvisual = visual != nullptr ? visual->visual : DefaultVisual(x11.display, x11.screen);
    const auto width = static_cast<unsigned>(record.width);
    const auto height = static_cast<unsigned>(record.height);

    const unsigned long errorsBefore = x11.errorCount;
    x11Of(record).xwindow =
        XCreateWindow(x11.display, RootWindow(x11.display, x11.screen), record.x, record.y, width,
                      height, 0, depth, InputOutput, xvisual, mask, &attributes);
    XSetWindowAttributes pictureAttributes{};
    pictureAttributes.background_pixmap = None;  // the renderer paints everything
    pictureAttributes.border_pixel = 0;
    pictureAttributes.event_mask = kPictureEvents;
    pictureAttributes.colormap = x11Of(record).colormap;
    x11Of(record).picture = XCreateWindow(
        x11.display, x11Of(record).xwindow, 0, 0, width, height, 0, depth, InputOutput, xvisual,
        CWBackPixmap | CWBorderPixel | CWEventMask | CWColormap, &pictureAttributes);
    x11Of(record).pictureX = x11Of(record).pictureY = 0;
    XMapWindow(x11.display, x11Of(record).picture);
    x11SyncErrors();
    if (x11.errorCount != errorsBefore) {
        destroyXWindow(record);
        return false;
    }
    setWindowProperties(record);
    if (record.visible) {  // shown before its pixel format was set
        XMapWindow(x11.display, x11Of(record).xwindow);
    }
    XFlush(x11.display);
    return true;
}

void x11ShowWindow(WindowRecord& record, bool show) {
    if (x11Of(record).xwindow == None) {
        return;
    }
    if (show) {
        XMapWindow(x11.display, x11Of(record).xwindow);
    } else {
        XUnmapWindow(x11.display, x11Of(record).xwindow);
    }
    XFlush(x11.display);
}

// Minimised, or not on screen at all: nothing drawn there can be seen.
bool x11Iconic(const WindowRecord& record) {
    return x11Of(record).xwindow != None && (x11Of(record).iconic || !x11Of(record).mapped);
}

void x11MoveWindow(WindowRecord& record) {
    if (x11Of(record).xwindow != None) {
        XMoveWindow(x11.display, x11Of(record).xwindow, record.x, record.y);
        XFlush(x11.display);
    }
}

void x11ResizeWindow(WindowRecord& record) {
    if (x11Of(record).xwindow == None) {
        return;
    }
    setSizeHints(record);
    XResizeWindow(x11.display, x11Of(record).xwindow, static_cast<unsigned>(record.width),
                  static_cast<unsigned>(record.height));
    x11PlacePicture(record);  // a manager may refuse the new size
    XFlush(x11.display);
}

void x11DestroyWindow(WindowRecord& record) {
    // A context still current on the window would draw into a dead drawable.
    if (x11Of(record).picture != None && glXGetCurrentDrawable() == x11Of(record).picture) {
        glXMakeCurrent(x11.display, None, nullptr);
    }
    destroyXWindow(record);
    XFlush(x11.display);
}

int x11ScreenMetric(int index) {
    return index == SM_CXSCREEN ? x11PrimaryMonitor().width : x11PrimaryMonitor().height;
}

// Grabs relative to this window: coordinates outside it come negative.
bool x11GrabPointer(WindowRecord& record) {
    if (x11Of(record).xwindow == None) {
        return false;
    }
    return XGrabPointer(x11.display, x11Of(record).xwindow, False,
                        ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                        GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
}

void x11ReleasePointer() {
    if (x11.display != nullptr) {
        XUngrabPointer(x11.display, CurrentTime);
        XFlush(x11.display);
    }
}
