// Shared state of the X11 backend: the display, its atoms, pixel formats
// (visuals), and what each window keeps on the server. One record, reached
// by the backend's source files and by its tests; windows, handles, the
// queue, palettes and GL context handles are the core's (platform/core.h).
//
// Depends on: Xlib and GLX. Every window is top-level (parents are ignored)
// and holds one child X window, its picture, of the program's size.
#pragma once

// First: it defines APIENTRY, which the GL headers only define when absent.
#include "platform/platform.h"

#include "platform/x11/x11_backend.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a window keeps on the X server.
struct X11Window : NativeWindow {
    X11Window() : NativeWindow(x11Backend) {}
    Window xwindow = None;
    // The drawable and the mouse's origin: kept at the program's size and
    // centred when a window manager forces the top-level to another size.
    Window picture = None;
    int pictureX = 0;
    int pictureY = 0;
    Colormap colormap = None;
    bool ownsColormap = false;
    bool mapped = false;  // as the server last reported it
    bool iconic = false;  // WM_STATE says IconicState
};

// What a visual offers, as read from the server and GLX.
struct VisualTraits {
    int visualClass = TrueColor;
    int depth = 24;
    unsigned long redMask = 0;
    unsigned long greenMask = 0;
    unsigned long blueMask = 0;
    bool openGl = false;
    bool rgba = false;
    bool doubleBuffer = false;
    int alphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int accumRedBits = 0;
    int accumGreenBits = 0;
    int accumBlueBits = 0;
    int accumAlphaBits = 0;
    int auxBuffers = 0;
};

struct X11Layer {
    Display* display = nullptr;
    int screen = 0;
    Atom wmProtocols = None;
    Atom wmDeleteWindow = None;
    Atom netWmName = None;
    Atom netWmIcon = None;
    Atom netWmWindowType = None;
    Atom netWmWindowTypeDialog = None;
    Atom utf8String = None;
    Atom netWmPid = None;
    Atom netWmPing = None;
    Atom wmState = None;
    Cursor arrowCursor = None;         // made on first use: a theme lookup of a few ms
    std::vector<XVisualInfo> visuals;  // pixel format n is visuals[n - 1]
    bool visualsLoaded = false;
    // Each GLX call costs a process check in the dispatch library, and
    // glXQueryExtension an X round trip: both are asked once per display.
    int glxPresent = -1;                                    // -1 until asked
    std::vector<std::optional<VisualTraits>> visualTraits;  // by visuals' index
    // The warm-up's context took its first viewport from a drawable of
    // another size; its first window sets it again, as GLX does once.
    GLXContext needsViewport = nullptr;
    unsigned long errorCount = 0;
    bool errorReported = false;
    bool errorsExplained = false;  // counted, not shown: the caller reports the failure itself
};

extern X11Layer x11;

// Errors while the warm-up's helper runs are its own: counted, not shown.
// Both threads read them, so they live apart from the record.
struct X11WarmErrors {
    std::atomic<bool> counting = false;
    std::atomic<unsigned long> count = 0;
};
extern X11WarmErrors x11WarmErrors;

// The X side of a window; null before the X window is made.
X11Window* x11WindowOf(const WindowRecord& record);

// Connection. x11OpenDisplay opens $DISPLAY once and returns "" on success or
// the reason it cannot ("DISPLAY is not set", "cannot open display \":9\"",
// "the X display :9 does not answer" after about 5 s of silence).
std::string x11OpenDisplay();
Display* x11Display();  // opens on first use; null when there is no display
Cursor x11ArrowCursor();

// The window whose top-level or picture this is; alive windows only.
WindowRecord* x11WindowFromX(Window xwindow);

// Messages. Translates one X event into the queue (or into window state).
void x11QueueEvent(const XEvent& event);

// Creates (or re-creates) the X window of a record with the given visual, or
// the default visual when null. False when the server refused it.
bool x11CreateXWindow(WindowRecord& record, const XVisualInfo* visual);
// Centres the picture in the top-level's last reported size.
void x11PlacePicture(WindowRecord& record);
// Runs a request and tells whether the server reported an error for it.
unsigned long x11SyncErrors();

// Window-manager protocols: _NET_WM_PID and WM_CLIENT_MACHINE; WM_PROTOCOLS
// with WM_DELETE_WINDOW and, for windows whose events reach x11QueueEvent,
// _NET_WM_PING; the ping's answer (true if the message was a ping).
void x11SetClientProperties(Window xwindow);
void x11SetWmProtocols(Window xwindow, bool answersPing);
bool x11AnswerPing(const XClientMessageEvent& client);
// Input or destruction sent by another client (send_event), not the server.
bool x11IsForged(const XEvent& event);

// Pixel formats: every visual of the screen, in the server's order.
const std::vector<XVisualInfo>& x11Visuals();
bool x11NeedsPalette(const XVisualInfo& visual);

// On the warm-up's helper: a context for the format, with draw run once
// in an unmapped window of the same visual that is gone again on return.
void* x11WarmContext(int format, void (*draw)());

PIXELFORMATDESCRIPTOR x11DescribeTraits(const VisualTraits& traits);
int x11MaskBits(unsigned long mask);
int x11MaskShift(unsigned long mask);

// The icon: a parsed XPM picture and the _NET_WM_ICON property made from it.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // row by row; empty when unreadable
};
IconImage x11ParseXpm(const char* const* lines, std::size_t lineCount);
const IconImage& x11ProgramIcon();
void x11SetIconProperty(Window xwindow, HICON icon);

// A rectangle in root-window pixels.
struct BoxRect {
    int x, y, width, height;
};

// The primary monitor on the root window: the RandR monitor marked primary,
// else the RandR monitor at the origin, else the first Xinerama head, else
// the whole X screen. Rectangles without area are passed over.
struct MonitorRect {
    BoxRect box;
    bool primary = false;
};
BoxRect x11ChoosePrimary(const std::vector<MonitorRect>& monitors,
                         const std::vector<BoxRect>& heads, const BoxRect& screen);
BoxRect x11PrimaryMonitor();  // all zero when there is no display
