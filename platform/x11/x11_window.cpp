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

// Device contexts share their window's number, offset so that a window
// handle passed as a device context (or back) finds nothing.
constexpr std::uintptr_t kDcOffset = 0x40000000u;

// The stock arrow cursor needs no resource; any non-null value names it.
HCURSOR const kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(32512));

const WindowClassRecord* findClass(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (const WindowClassRecord& c : x11.classes) {
        if (strcasecmp(c.name.c_str(), name) == 0) {  // class names ignore case
            return &c;
        }
    }
    return nullptr;
}

WindowRecord* recordById(std::uintptr_t id) {
    if (id == 0 || id > x11.windows.size()) {
        return nullptr;
    }
    WindowRecord* record = x11.windows[id - 1].get();
    return record->alive ? record : nullptr;
}

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
    XSetWMNormalHints(x11.display, record.xwindow, hints);
    XFree(hints);
}

void setClassHint(const WindowRecord& record) {
    std::string name = program_invocation_short_name;
    std::string className = record.className;
    XClassHint hint{name.data(), className.data()};
    XSetClassHint(x11.display, record.xwindow, &hint);
}

void setWindowProperties(const WindowRecord& record) {
    setTextProperty(record.xwindow, XA_WM_NAME, XA_STRING, record.title);
    setTextProperty(record.xwindow, XA_WM_ICON_NAME, XA_STRING, record.title);
    setTextProperty(record.xwindow, x11.netWmName, x11.utf8String, record.title);
    setClassHint(record);
    setSizeHints(record);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(x11.display, record.xwindow, &wmHints);
    x11SetWmProtocols(record.xwindow, true);
    x11SetClientProperties(record.xwindow);
    x11SetIconProperty(record.xwindow, record.icon);
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
    return record.ownsColormap ? 0 : BlackPixel(x11.display, x11.screen);
}

Colormap colormapFor(WindowRecord& record, const XVisualInfo* visual) {
    const Window root = RootWindow(x11.display, x11.screen);
    // A palette is stored straight into a writable colormap of its own.
    if (visual != nullptr && x11NeedsPalette(*visual)) {
        record.ownsColormap = true;
        return XCreateColormap(x11.display, root, visual->visual, AllocAll);
    }
    const Visual* defaultVisual = DefaultVisual(x11.display, x11.screen);
    if (visual == nullptr ||
        visual->visualid == XVisualIDFromVisual(const_cast<Visual*>(defaultVisual))) {
        record.ownsColormap = false;
        return DefaultColormap(x11.display, x11.screen);
    }
    record.ownsColormap = true;
    return XCreateColormap(x11.display, root, visual->visual, AllocNone);
}

void destroyXWindow(WindowRecord& record) {
    if (record.xwindow != None) {
        XDestroyWindow(x11.display, record.xwindow);  // and the picture with it
        record.xwindow = None;
    }
    record.picture = None;
    record.mapped = false;
    record.iconic = false;
    if (record.ownsColormap) {
        XFreeColormap(x11.display, record.colormap);
        record.ownsColormap = false;
    }
    record.colormap = None;
}

void releaseGrabOf(HWND window) {
    if (x11.capture == window) {
        XUngrabPointer(x11.display, CurrentTime);
        x11.capture = nullptr;
    }
}

void dropQueuedMessages(HWND window) {
    std::erase_if(x11.queue, [window](const MSG& m) { return m.hwnd == window; });
}

}  // namespace

WindowRecord* x11FindWindow(HWND window) {
    return recordById(reinterpret_cast<std::uintptr_t>(window));
}

WindowRecord* x11WindowFromDc(HDC dc) {
    const auto value = reinterpret_cast<std::uintptr_t>(dc);
    return value > kDcOffset ? recordById(value - kDcOffset) : nullptr;
}

WindowRecord* x11WindowFromX(Window xwindow) {
    if (xwindow == None) {
        return nullptr;
    }
    for (auto& record : x11.windows) {
        if (record->alive && (record->xwindow == xwindow || record->picture == xwindow)) {
            return record.get();
        }
    }
    return nullptr;
}

HWND x11Handle(const WindowRecord& record) {
    return reinterpret_cast<HWND>(record.id);
}

HDC x11DcHandle(const WindowRecord& record) {
    return reinterpret_cast<HDC>(record.id + kDcOffset);
}

LRESULT x11Send(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!record.alive || record.procedure == nullptr) {
        return 0;
    }
    return record.procedure(x11Handle(record), message, wParam, lParam);
}

void x11PlacePicture(WindowRecord& record) {
    record.pictureX = (record.reportedWidth - record.width) / 2;
    record.pictureY = (record.reportedHeight - record.height) / 2;
    if (record.picture != None) {
        XMoveResizeWindow(x11.display, record.picture, record.pictureX, record.pictureY,
                          static_cast<unsigned>(record.width),
                          static_cast<unsigned>(record.height));
    }
}

bool x11CreateXWindow(WindowRecord& record, const XVisualInfo* visual) {
    destroyXWindow(record);

    // Both windows share the visual and colormap, so the window manager
    // installs the picture's colormap and screenshots of either agree.
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = kWindowEvents;
    attributes.colormap = record.colormap = colormapFor(record, visual);
    attributes.background_pixel = marginPixel(record);
    attributes.cursor = record.cursor == kArrowCursor ? x11.arrowCursor : None;
    const unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask | CWColormap | CWCursor;
    const int depth = visual != nullptr ? visual->depth : DefaultDepth(x11.display, x11.screen);
    Visual* xvisual = visual != nullptr ? visual->visual : DefaultVisual(x11.display, x11.screen);
    const auto width = static_cast<unsigned>(record.width);
    const auto height = static_cast<unsigned>(record.height);

    const unsigned long errorsBefore = x11.errorCount;
    record.xwindow =
        XCreateWindow(x11.display, RootWindow(x11.display, x11.screen), record.x, record.y, width,
                      height, 0, depth, InputOutput, xvisual, mask, &attributes);
    XSetWindowAttributes pictureAttributes{};
    pictureAttributes.background_pixmap = None;  // the renderer paints everything
    pictureAttributes.border_pixel = 0;
    pictureAttributes.event_mask = kPictureEvents;
    pictureAttributes.colormap = record.colormap;
    record.picture = XCreateWindow(
        x11.display, record.xwindow, 0, 0, width, height, 0, depth, InputOutput, xvisual,
        CWBackPixmap | CWBorderPixel | CWEventMask | CWColormap, &pictureAttributes);
    record.pictureX = record.pictureY = 0;
    XMapWindow(x11.display, record.picture);
    x11SyncErrors();
    if (x11.errorCount != errorsBefore) {
        destroyXWindow(record);
        return false;
    }
    setWindowProperties(record);
    if (record.visible) {  // shown before its pixel format was set
        XMapWindow(x11.display, record.xwindow);
    }
    XFlush(x11.display);
    return true;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->lpszClassName == nullptr || findClass(windowClass->lpszClassName)) {
        return 0;
    }
    WindowClassRecord record;
    record.name = windowClass->lpszClassName;
    record.procedure = windowClass->lpfnWndProc;
    record.style = windowClass->style;
    record.icon = windowClass->hIcon;
    record.cursor = windowClass->hCursor;
    x11.classes.push_back(record);
    return static_cast<ATOM>(0xC000 + x11.classes.size());
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    return name == MAKEINTRESOURCEA(101) ? x11ProgramIconHandle() : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    return name == IDC_ARROW ? kArrowCursor : nullptr;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const WindowClassRecord* windowClass = findClass(className);
    if (windowClass == nullptr || x11Display() == nullptr) {
        return nullptr;
    }
    auto owned = std::make_unique<WindowRecord>();
    WindowRecord& record = *owned;
    x11.windows.push_back(std::move(owned));
    record.id = x11.windows.size();
    record.procedure = windowClass->procedure;
    record.className = windowClass->name;
    record.title = windowName != nullptr ? windowName : "";
    record.icon = windowClass->icon;
    record.cursor = windowClass->cursor;
    record.x = x;
    record.y = y;
    record.width = record.reportedWidth = std::max(width, 1);
    record.height = record.reportedHeight = std::max(height, 1);

    // The creation handler may set a pixel format, which makes the X window
    // with the visual it needs; otherwise it is made afterwards.
    if (x11Send(record, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(x11Handle(record));
        return nullptr;
    }
    if (!record.alive) {
        return nullptr;
    }
    if (record.xwindow == None && !x11CreateXWindow(record, nullptr)) {
        DestroyWindow(x11Handle(record));
        return nullptr;
    }
    return x11Handle(record);
}

BOOL ShowWindow(HWND window, int showCommand) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = record->visible ? TRUE : FALSE;
    const bool show = showCommand != SW_HIDE;
    if (show != record->visible && record->xwindow != None) {
        if (show) {
            XMapWindow(x11.display, record->xwindow);
        } else {
            XUnmapWindow(x11.display, record->xwindow);
        }
        XFlush(x11.display);
    }
    if (show && !record->visible) {
        record->invalid = true;  // a newly shown window owes its first paint
    }
    record->visible = show;
    return wasVisible;
}

// Minimised, or not on screen at all: nothing drawn there can be seen.
BOOL IsIconic(HWND window) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr || record->xwindow == None) {
        return FALSE;
    }
    return record->iconic || !record->mapped ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    if (record->visible && record->invalid) {
        x11Send(*record, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    if ((flags & SWP_NOMOVE) == 0) {
        record->x = x;
        record->y = y;
        if (record->xwindow != None) {
            XMoveWindow(x11.display, record->xwindow, x, y);
        }
    }
    if ((flags & SWP_NOSIZE) == 0) {
        record->width = std::max(cx, 1);
        record->height = std::max(cy, 1);
        if (record->xwindow != None) {
            setSizeHints(*record);
            XResizeWindow(x11.display, record->xwindow, static_cast<unsigned>(record->width),
                          static_cast<unsigned>(record->height));
            x11PlacePicture(*record);  // a manager may refuse the new size
        }
    }
    XFlush(x11.display);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr || record->destroying) {
        return FALSE;
    }
    record->destroying = true;
    releaseGrabOf(window);
    if (record->xwindow != None && record->visible) {
        XUnmapWindow(x11.display, record->xwindow);
    }
    x11Send(*record, WM_DESTROY, 0, 0);
    record->alive = false;
    dropQueuedMessages(window);
    // A context still current on the window would draw into a dead drawable.
    if (record->picture != None && glXGetCurrentDrawable() == record->picture) {
        glXMakeCurrent(x11.display, None, nullptr);
    }
    destroyXWindow(*record);
    XFlush(x11.display);
    return TRUE;
}

int GetSystemMetrics(int index) {
    Display* display = x11Display();
    if (display == nullptr) {
        return 0;
    }
    switch (index) {
        case SM_CXSCREEN:
            return x11PrimaryMonitor().width;
        case SM_CYSCREEN:
            return x11PrimaryMonitor().height;
        default:
            return 0;
    }
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr) {
        return nullptr;
    }
    record->invalid = false;
    if (paint != nullptr) {
        *paint = PAINTSTRUCT{};
        paint->hdc = x11DcHandle(*record);
        paint->rcPaint = RECT{0, 0, record->width, record->height};
    }
    return x11DcHandle(*record);
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    return x11FindWindow(window) ? TRUE : FALSE;
}

HWND SetCapture(HWND window) {
    const HWND previous = x11.capture;
    WindowRecord* record = x11FindWindow(window);
    if (record == nullptr || record->xwindow == None) {
        return previous;
    }
    // Grabs relative to this window: coordinates outside it come negative.
    const int status = XGrabPointer(x11.display, record->xwindow, False,
                                    ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (status == GrabSuccess) {
        x11.capture = window;
    }
    return previous;
}

BOOL ReleaseCapture() {
    if (x11.display != nullptr) {
        XUngrabPointer(x11.display, CurrentTime);
        XFlush(x11.display);
    }
    x11.capture = nullptr;
    return TRUE;
}

HDC GetDC(HWND window) {
    WindowRecord* record = x11FindWindow(window);
    return record != nullptr ? x11DcHandle(*record) : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    WindowRecord* record = x11WindowFromDc(dc);
    return record != nullptr && x11Handle(*record) == window ? 1 : 0;
}

HWND WindowFromDC(HDC dc) {
    WindowRecord* record = x11WindowFromDc(dc);
    return record != nullptr ? x11Handle(*record) : nullptr;
}
