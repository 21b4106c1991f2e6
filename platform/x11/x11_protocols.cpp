// What a window manager needs to tell a live program from a hung one, and
// which events from other clients are believed.
//
// Depends on: Xlib, gethostname(), the EWMH _NET_WM_PING protocol.
// Cannot: answer a ping while the program itself is stuck outside the
// message loop; that is the point of the ping.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <limits.h>
#include <unistd.h>

#include <array>

void x11SetClientProperties(Window xwindow) {
    const long pid = static_cast<long>(getpid());
    XChangeProperty(x11.display, xwindow, x11.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    std::array<char, HOST_NAME_MAX + 1> host{};
    if (gethostname(host.data(), host.size() - 1) != 0) {
        return;
    }
    char* hostName = host.data();
    XTextProperty machine{};
    if (XStringListToTextProperty(&hostName, 1, &machine) != 0) {
        XSetWMClientMachine(x11.display, xwindow, &machine);
        XFree(machine.value);
    }
}

void x11SetWmProtocols(Window xwindow, bool answersPing) {
    Atom protocols[] = {x11.wmDeleteWindow, x11.netWmPing};
    XSetWMProtocols(x11.display, xwindow, protocols, answersPing ? 2 : 1);
}

// The reply is the ping itself, readdressed to the root window.
bool x11AnswerPing(const XClientMessageEvent& client) {
    if (client.message_type != x11.wmProtocols || client.format != 32 ||
        static_cast<Atom>(client.data.l[0]) != x11.netWmPing) {
        return false;
    }
    const Window root = RootWindow(x11.display, x11.screen);
    XEvent reply{};
    reply.xclient = client;
    reply.xclient.window = root;
    XSendEvent(x11.display, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &reply);
    XFlush(x11.display);
    return true;
}

// Input and destruction come only from the server. Another client may still
// send ConfigureNotify and client messages, as ICCCM has window managers do.
bool x11IsForged(const XEvent& event) {
    if (!event.xany.send_event) {
        return false;
    }
    switch (event.type) {
        case DestroyNotify:
        case KeyPress:
        case KeyRelease:
        case ButtonPress:
        case ButtonRelease:
        case MotionNotify:
            return true;
        default:
            return false;
    }
}
