// X events translated into the core's messages and window state, reading
// them without blocking, the sleeping wait, and the character of a key.
//
// Depends on: Xlib (XLookupString for characters), poll() on the X socket,
// the core's key and mouse encoding.
// Cannot: messages for more than the left mouse button; other buttons and
// unknown events translate to nothing. Mouse positions are the picture
// child's, also over the margin around it.
#include "platform/x11/x11_layer.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace {

void post(const WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam, Time time,
          int rootX, int rootY) {
    corePost(record, message, wParam, lParam, static_cast<DWORD>(time), POINT{rootX, rootY});
}

// The modifier state rides along in lPrivate for TranslateMessage.
void queueKey(const WindowRecord& record, const XKeyEvent& key) {
    const KeySym keysym = XLookupKeysym(const_cast<XKeyEvent*>(&key), 0);
    corePostKey(record, {.keysym = static_cast<std::uint32_t>(keysym),
                         .keycode = key.keycode,
                         .pressed = key.type == KeyPress,
                         .time = static_cast<DWORD>(key.time),
                         .point = POINT{key.x_root, key.y_root},
                         .privateData = key.state});
}

// Positions are the picture's, whose corner may sit inside the top-level.
void queueButton(const WindowRecord& record, const X11Window& window, const XButtonEvent& button) {
    if (button.button != Button1) {
        return;
    }
    const UINT message = button.type == ButtonPress ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    const WPARAM keys = button.type == ButtonPress ? kLeftButtonDown : 0;
    post(record, message, keys,
         corePointLParam(button.x - window.pictureX, button.y - window.pictureY), button.time,
         button.x_root, button.y_root);
}

void queueMotion(const WindowRecord& record, const X11Window& window, const XMotionEvent& motion) {
    const WPARAM keys = (motion.state & Button1Mask) != 0 ? kLeftButtonDown : 0;
    post(record, WM_MOUSEMOVE, keys,
         corePointLParam(motion.x - window.pictureX, motion.y - window.pictureY), motion.time,
         motion.x_root, motion.y_root);
}

// A new size of the top-level also moves the picture to its middle.
void queueConfigure(WindowRecord& record, const XConfigureEvent& configure) {
    if (coreReportSize(record, configure.width, configure.height)) {
        x11PlacePicture(record);
    }
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
void setShown(WindowRecord& record, X11Window& window, bool mapped, bool iconic) {
    const bool wasHidden = !window.mapped || window.iconic;
    window.mapped = mapped;
    window.iconic = iconic;
    if (wasHidden && mapped && !iconic) {
        record.invalid = true;
    }
}

void propertyChanged(WindowRecord& record, X11Window& window, const XPropertyEvent& property) {
    if (property.atom == x11.wmState) {
        setShown(record, window, window.mapped,
                 property.state == PropertyNewValue && wmStateIsIconic(window.xwindow));
    }
}

// Someone else destroyed our X window: what it held on the server is gone
// with it, and the window goes too.
void windowDestroyedOutside(WindowRecord& record, X11Window& window) {
    window.xwindow = None;
    window.picture = None;
    if (window.ownsColormap) {
        XFreeColormap(x11.display, window.colormap);
        window.ownsColormap = false;
    }
    coreWindowDestroyedOutside(record);
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

void x11QueueEvent(const XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(const_cast<XMappingEvent*>(&event.xmapping));
        return;
    }
    WindowRecord* record = x11WindowFromX(event.xany.window);
    X11Window* found = record != nullptr ? x11WindowOf(*record) : nullptr;
    if (found == nullptr) {
        return;  // destroyed windows, and windows not ours, hear nothing
    }
    X11Window& window = *found;
    if (x11IsForged(event)) {
        return;
    }
    if (event.xany.window == window.picture && event.type != Expose) {
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
            queueButton(*record, window, event.xbutton);
            break;
        case MotionNotify:
            queueMotion(*record, window, event.xmotion);
            break;
        case ConfigureNotify:
            queueConfigure(*record, event.xconfigure);
            break;
        case ClientMessage:
            queueClientMessage(*record, event.xclient);
            break;
        case DestroyNotify:
            windowDestroyedOutside(*record, window);
            break;
        case MapNotify:
            setShown(*record, window, true, window.iconic);
            break;
        case UnmapNotify:
            setShown(*record, window, false, window.iconic);
            break;
        case PropertyNotify:
            propertyChanged(*record, window, event.xproperty);
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
