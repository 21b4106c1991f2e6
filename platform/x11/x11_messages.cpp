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

void post(const WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam, Time time,
          int rootX, int rootY, DWORD privateData = 0) {
    corePost(record, message, wParam, lParam, static_cast<DWORD>(time), POINT{rootX, rootY},
             privateData);
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
         x11PointLParam(button.x - x11Of(record).pictureX, button.y - x11Of(record).pictureY),
         button.time, button.x_root, button.y_root);
}

void queueMotion(const WindowRecord& record, const XMotionEvent& motion) {
    const WPARAM keys = (motion.state & Button1Mask) != 0 ? kLeftButtonDown : 0;
    post(record, WM_MOUSEMOVE, keys,
         x11PointLParam(motion.x - x11Of(record).pictureX, motion.y - x11Of(record).pictureY),
         motion.time, motion.x_root, motion.y_root);
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
    const bool wasHidden = !x11Of(record).mapped || x11Of(record).iconic;
    x11Of(record).mapped = mapped;
    x11Of(record).iconic = iconic;
    if (wasHidden && mapped && !iconic) {
        record.invalid = true;
    }
}

void propertyChanged(WindowRecord& record, const XPropertyEvent& property) {
    if (property.atom == x11.wmState) {
        setShown(record, x11Of(record).mapped,
                 property.state == PropertyNewValue && wmStateIsIconic(x11Of(record).xwindow));
    }
}

// Someone else destroyed our X window: the window is gone all the same, so
// the program hears WM_DESTROY as if it had asked.
void windowDestroyedOutside(WindowRecord& record) {
    if (record.destroying) {
        return;
    }
    x11Of(record).xwindow = None;
    x11Of(record).picture = None;
    if (x11Of(record).ownsColormap) {
        XFreeColormap(x11.display, x11Of(record).colormap);
        x11Of(record).ownsColormap = false;
    }
    DestroyWindow(x11Handle(record));
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
    return coreVirtualKey(static_cast<std::uint32_t>(keysym));
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
    if (event.xany.window == x11Of(*record).picture && event.type != Expose) {
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
            setShown(*record, true, x11Of(*record).iconic);
            break;
        case UnmapNotify:
            setShown(*record, false, x11Of(*record).iconic);
            break;
        case PropertyNotify:
            propertyChanged(*record, event.xproperty);
            break;
        default:
            break;
    }
}
// The character of a queued key press, from its X key code and modifiers.
int x11KeyCharacter(const MSG& keyDown) {
    if (x11.display == nullptr) {
        return -1;
    }
    XKeyEvent key{};
    key.type = KeyPress;
    key.display = x11.display;
    key.keycode = static_cast<unsigned>((keyDown.lParam >> 16) & 0xff);
    key.state = keyDown.lPrivate;
    if (key.keycode == 0) {
        return -1;
    }
    char text[8] = {};
    KeySym keysym = NoSymbol;
    if (XLookupString(&key, text, sizeof text, &keysym, nullptr) != 1) {
        return -1;
    }
    return static_cast<unsigned char>(text[0]);
}

void x11ReadEvents() {
    drainXEvents();
}

bool x11WaitForEvents() {
    return x11.display != nullptr && waitForXEvents();
}
