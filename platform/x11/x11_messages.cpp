// The message queue: X events translated into Win32 messages, the
// non-removing peek, the sleeping wait, key translation, dispatch, default
// processing and the quit message.
//
// Depends on: Xlib (XLookupString for characters), poll() on the X socket.
// Cannot: sent messages between threads, timers, or messages for more than
// the left mouse button; other buttons and unknown events translate to
// nothing. Keys report a virtual-key code only for the keys listed below.
// Mouse positions are the picture child's, also over the margin around it.
#include "platform/x11/x11_layer.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr WPARAM kLeftButtonDown = 0x0001;  // MK_LBUTTON

// Range filter as Win32 has it: 0, 0 means every message.
bool inRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool matches(const MSG& msg, HWND window, UINT first, UINT last) {
    return (window == nullptr || msg.hwnd == window) && inRange(msg.message, first, last);
}

void post(const WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam, Time time,
          int rootX, int rootY, DWORD privateData = 0) {
    MSG msg{};
    msg.hwnd = x11Handle(record);
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(time);
    msg.pt = POINT{rootX, rootY};
    msg.lPrivate = privateData;
    x11.queue.push_back(msg);
}

// The repeat count 1 and the X key code (8 to 255) as the scan code; the
// modifier state rides along in lPrivate for TranslateMessage.
void queueKey(const WindowRecord& record, const XKeyEvent& key) {
    KeySym keysym = XLookupKeysym(const_cast<XKeyEvent*>(&key), 0);
    LPARAM lParam = 1 | (static_cast<LPARAM>(key.keycode & 0xff) << 16);
    UINT message = WM_KEYDOWN;
    if (key.type == KeyRelease) {
        message = WM_KEYUP;
        lParam |= static_cast<LPARAM>(0xC0000000u);  // previous state down, transition up
    }
    post(record, message, x11VirtualKey(keysym), lParam, key.time, key.x_root, key.y_root,
         key.state);
}

void queueButton(const WindowRecord& record, const XButtonEvent& button) {
    if (button.button != Button1) {
        return;
    }
    const UINT message = button.type == ButtonPress ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    const WPARAM keys = button.type == ButtonPress ? kLeftButtonDown : 0;
    post(record, message, keys,
         x11PointLParam(button.x - record.pictureX, button.y - record.pictureY), button.time,
         button.x_root, button.y_root);
}

void queueMotion(const WindowRecord& record, const XMotionEvent& motion) {
    const WPARAM keys = (motion.state & Button1Mask) != 0 ? kLeftButtonDown : 0;
    post(record, WM_MOUSEMOVE, keys,
         x11PointLParam(motion.x - record.pictureX, motion.y - record.pictureY), motion.time,
         motion.x_root, motion.y_root);
}

// Only a change of size is news: moves, and the echo of a size already
// reported, would keep a snapping-back window resizing forever.
void queueConfigure(WindowRecord& record, const XConfigureEvent& configure) {
    if (configure.width == record.reportedWidth && configure.height == record.reportedHeight) {
        return;
    }
    record.reportedWidth = configure.width;
    record.reportedHeight = configure.height;
    x11PlacePicture(record);
    post(record, WM_SIZE, SIZE_RESTORED, MAKELPARAM(configure.width, configure.height), 0, 0, 0);
}

void queueClientMessage(const WindowRecord& record, const XClientMessageEvent& client) {
    if (x11AnswerPing(client)) {
        return;
    }
    if (client.message_type == x11.wmProtocols && client.format == 32 &&
        static_cast<Atom>(client.data.l[0]) == x11.wmDeleteWindow) {
        post(record, WM_CLOSE, 0, 0, 0, 0, 0);
    }
}

bool wmStateIsIconic(Window xwindow) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(x11.display, xwindow, x11.wmState, 0, 2, False,
                                          x11.wmState, &type, &format, &count, &remaining, &data);
    bool iconic = false;
    if (status == Success && data != nullptr && type == x11.wmState && format == 32 && count > 0) {
        iconic = reinterpret_cast<const long*>(data)[0] == IconicState;
    }
    if (data != nullptr) {
        XFree(data);
    }
    return iconic;
}

// Coming back on screen owes a paint, which also wakes a main loop that
// stopped drawing while nothing could be seen.
void setShown(WindowRecord& record, bool mapped, bool iconic) {
    const bool wasHidden = !record.mapped || record.iconic;
    record.mapped = mapped;
    record.iconic = iconic;
    if (wasHidden && mapped && !iconic) {
        record.invalid = true;
    }
}

void propertyChanged(WindowRecord& record, const XPropertyEvent& property) {
    if (property.atom == x11.wmState) {
        setShown(record, record.mapped,
                 property.state == PropertyNewValue && wmStateIsIconic(record.xwindow));
    }
}

// Someone else destroyed our X window: the window is gone all the same, so
// the program hears WM_DESTROY as if it had asked.
void windowDestroyedOutside(WindowRecord& record) {
    if (record.destroying) {
        return;
    }
    record.xwindow = None;
    record.picture = None;
    if (record.ownsColormap) {
        XFreeColormap(x11.display, record.colormap);
        record.ownsColormap = false;
    }
    DestroyWindow(x11Handle(record));
}

bool paintableWindow(HWND window, MSG* msg) {
    for (auto& record : x11.windows) {
        if (record->alive && record->visible && record->invalid &&
            (window == nullptr || x11Handle(*record) == window)) {
            *msg = MSG{};
            msg->hwnd = x11Handle(*record);
            msg->message = WM_PAINT;
            return true;
        }
    }
    return false;
}

// Moves every event the connection has into the queue without blocking.
void drainXEvents() {
    if (x11.display == nullptr) {
        return;
    }
    while (XEventsQueued(x11.display, QueuedAfterFlush) > 0) {
        while (XEventsQueued(x11.display, QueuedAlready) > 0) {
            XEvent event;
            XNextEvent(x11.display, &event);
            x11QueueEvent(event);
        }
    }
}

// Posted and input messages first, then quit, then paint, as on Win32.
bool nextMessage(MSG* msg, HWND window, UINT first, UINT last, bool remove) {
    drainXEvents();
    auto found = std::find_if(x11.queue.begin(), x11.queue.end(),
                              [&](const MSG& m) { return matches(m, window, first, last); });
    if (found != x11.queue.end()) {
        *msg = *found;
        if (remove) {
            x11.queue.erase(found);
        }
        return true;
    }
    if (x11.quitPosted && window == nullptr && inRange(WM_QUIT, first, last)) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(x11.quitCode);
        if (remove) {
            x11.quitPosted = false;
        }
        return true;
    }
    return inRange(WM_PAINT, first, last) && paintableWindow(window, msg);
}

// Sleeps in the X connection until it has something to read.
bool waitForXEvents() {
    XFlush(x11.display);
    if (XEventsQueued(x11.display, QueuedAlready) > 0) {
        return true;
    }
    pollfd connection{ConnectionNumber(x11.display), POLLIN, 0};
    for (;;) {
        const int ready = poll(&connection, 1, -1);
        if (ready > 0) {
            XEventsQueued(x11.display, QueuedAfterReading);
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

LPARAM x11PointLParam(int x, int y) {
    return MAKELPARAM(x, y);
}

WPARAM x11VirtualKey(KeySym keysym) {
    if (keysym >= XK_a && keysym <= XK_z) {
        return 'A' + (keysym - XK_a);
    }
    if ((keysym >= XK_A && keysym <= XK_Z) || (keysym >= XK_0 && keysym <= XK_9)) {
        return keysym;
    }
    if (keysym >= XK_F1 && keysym <= XK_F12) {
        return 0x70 + (keysym - XK_F1);
    }
    switch (keysym) {
        case XK_BackSpace:
            return 0x08;
        case XK_Tab:
            return 0x09;
        case XK_Return:
        case XK_KP_Enter:
            return 0x0D;
        case XK_Shift_L:
        case XK_Shift_R:
            return 0x10;
        case XK_Control_L:
        case XK_Control_R:
            return 0x11;
        case XK_Alt_L:
        case XK_Alt_R:
            return 0x12;
        case XK_Escape:
            return 0x1B;
        case XK_space:
            return 0x20;
        case XK_Left:
            return 0x25;
        case XK_Up:
            return 0x26;
        case XK_Right:
            return 0x27;
        case XK_Down:
            return 0x28;
        case XK_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

void x11QueueEvent(const XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(const_cast<XMappingEvent*>(&event.xmapping));
        return;
    }
    WindowRecord* record = x11WindowFromX(event.xany.window);
    if (record == nullptr) {
        return;  // destroyed windows, and windows not ours, hear nothing
    }
    if (x11IsForged(event)) {
        return;
    }
    if (event.xany.window == record->picture && event.type != Expose) {
        return;  // everything else is the top-level's
    }
    switch (event.type) {
        case Expose:
            record->invalid = true;
            break;
        case KeyPress:
        case KeyRelease:
            queueKey(*record, event.xkey);
            break;
        case ButtonPress:
        case ButtonRelease:
            queueButton(*record, event.xbutton);
            break;
        case MotionNotify:
            queueMotion(*record, event.xmotion);
            break;
        case ConfigureNotify:
            queueConfigure(*record, event.xconfigure);
            break;
        case ClientMessage:
            queueClientMessage(*record, event.xclient);
            break;
        case DestroyNotify:
            windowDestroyedOutside(*record);
            break;
        case MapNotify:
            setShown(*record, true, record->iconic);
            break;
        case UnmapNotify:
            setShown(*record, false, record->iconic);
            break;
        case PropertyNotify:
            propertyChanged(*record, event.xproperty);
            break;
        default:
            break;
    }
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) {
        return FALSE;
    }
    return nextMessage(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE
                                                                                        : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr || x11Display() == nullptr ||
        (window != nullptr && x11FindWindow(window) == nullptr)) {
        return -1;
    }
    while (!nextMessage(msg, window, filterMin, filterMax, true)) {
        if (!waitForXEvents()) {
            return -1;
        }
    }
    return msg->message == WM_QUIT ? 0 : 1;
}

// The character comes next in the queue, before any later input.
BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN || x11.display == nullptr) {
        return FALSE;
    }
    XKeyEvent key{};
    key.type = KeyPress;
    key.display = x11.display;
    key.keycode = static_cast<unsigned>((msg->lParam >> 16) & 0xff);
    key.state = msg->lPrivate;
    if (key.keycode == 0) {
        return FALSE;
    }
    char text[8] = {};
    KeySym keysym = NoSymbol;
    if (XLookupString(&key, text, sizeof text, &keysym, nullptr) != 1) {
        return FALSE;
    }
    MSG character = *msg;
    character.message = WM_CHAR;
    character.wParam = static_cast<unsigned char>(text[0]);
    x11.queue.push_front(character);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    WindowRecord* record = x11FindWindow(msg->hwnd);
    return record != nullptr ? x11Send(*record, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        default:
            return 0;
    }
}

void PostQuitMessage(int exitCode) {
    x11.quitPosted = true;
    x11.quitCode = exitCode;
}
