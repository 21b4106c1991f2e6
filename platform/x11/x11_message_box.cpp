// MessageBoxA as a modal X dialog: a small window of its own titled with the
// caption, the text in the core font "fixed", an information or error sign
// drawn with X primitives, and one OK button. Return, Esc, a click on OK or
// the window manager's close button dismiss it; it returns only then.
// Events for the program's windows that arrive meanwhile go to their queue.
//
// Depends on: Xlib, the core font "fixed" (without it the box still works,
// only without text).
// Cannot: buttons other than OK, text wrapping, or input methods.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMargin = 14;
constexpr int kIconSide = 32;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 200;

struct MessageBox {
    Window window = None;
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    std::vector<std::string> lines;
    UINT type = 0;
    int width = 0;
    int height = 0;
    int lineHeight = 13;
    int ascent = 10;
    bool buttonHeld = false;
    bool closed = false;
    unsigned long face = 0;  // dialog background
    unsigned long shadow = 0;
    unsigned long ink = 0;
    unsigned long white = 0;
    unsigned long signColour = 0;
};

bool hasIcon(UINT type) {
    return (type & (MB_ICONERROR | MB_ICONINFORMATION)) != 0;
}
bool isError(UINT type) {
    return (type & 0xF0) == MB_ICONERROR;
}

std::vector<std::string> splitLines(const char* text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
        if (*c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (*c != '\r') {
            line += *c;
        }
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(line);  // a final line feed adds no empty line
    }
    return lines;
}

int textWidth(const MessageBox& box, const std::string& line) {
    const int length = static_cast<int>(line.size());
    return box.font != nullptr ? XTextWidth(box.font, line.data(), length) : 6 * length;
}

unsigned long colour(unsigned short red, unsigned short green, unsigned short blue,
                     unsigned long fallback) {
    XColor c{};
    c.red = static_cast<unsigned short>(red * 257);
    c.green = static_cast<unsigned short>(green * 257);
    c.blue = static_cast<unsigned short>(blue * 257);
    c.flags = DoRed | DoGreen | DoBlue;
    return XAllocColor(x11.display, DefaultColormap(x11.display, x11.screen), &c) ? c.pixel
                                                                                  : fallback;
}

void measure(MessageBox& box) {
    if (box.font != nullptr) {
        box.ascent = box.font->ascent;
        box.lineHeight = box.font->ascent + box.font->descent;
    }
    int textSpan = 0;
    for (const std::string& line : box.lines) {
        textSpan = std::max(textSpan, textWidth(box, line));
    }
    const int textHeight = box.lineHeight * static_cast<int>(box.lines.size());
    const int iconSpan = hasIcon(box.type) ? kIconSide + kMargin : 0;
    const int screenWidth = DisplayWidth(x11.display, x11.screen);
    box.width = std::clamp(2 * kMargin + iconSpan + textSpan, kMinWidth,
                           std::max(kMinWidth, screenWidth - 2 * kMargin));
    box.height =
        3 * kMargin + std::max(hasIcon(box.type) ? kIconSide : 0, textHeight) + kButtonHeight;
}

void drawErrorSign(const MessageBox& box, int x, int y) {
    XSetForeground(x11.display, box.gc, box.signColour);
    XFillArc(x11.display, box.window, box.gc, x, y, kIconSide, kIconSide, 0, 360 * 64);
    XSetForeground(x11.display, box.gc, box.white);
    XSetLineAttributes(x11.display, box.gc, 4, LineSolid, CapRound, JoinRound);
    XDrawLine(x11.display, box.window, box.gc, x + 10, y + 10, x + 22, y + 22);
    XDrawLine(x11.display, box.window, box.gc, x + 22, y + 10, x + 10, y + 22);
    XSetLineAttributes(x11.display, box.gc, 1, LineSolid, CapButt, JoinMiter);
}

void drawInformationSign(const MessageBox& box, int x, int y) {
    XSetForeground(x11.display, box.gc, box.signColour);
    XFillArc(x11.display, box.window, box.gc, x, y, kIconSide, kIconSide, 0, 360 * 64);
    XSetForeground(x11.display, box.gc, box.white);
    XFillArc(x11.display, box.window, box.gc, x + 13, y + 6, 6, 6, 0, 360 * 64);
    XFillRectangle(x11.display, box.window, box.gc, x + 13, y + 14, 6, 12);
}

void drawButton(const MessageBox& box) {
    const BoxRect r = x11MessageBoxButton(box.width, box.height);
    XSetForeground(x11.display, box.gc, box.buttonHeld ? box.shadow : box.face);
    XFillRectangle(x11.display, box.window, box.gc, r.x, r.y, static_cast<unsigned>(r.width),
                   static_cast<unsigned>(r.height));
    XSetForeground(x11.display, box.gc, box.ink);
    XSetLineAttributes(x11.display, box.gc, 2, LineSolid, CapButt, JoinMiter);
    XDrawRectangle(x11.display, box.window, box.gc, r.x + 1, r.y + 1,
                   static_cast<unsigned>(r.width - 2), static_cast<unsigned>(r.height - 2));
    XSetLineAttributes(x11.display, box.gc, 1, LineSolid, CapButt, JoinMiter);
    const std::string label = "OK";
    const int labelX = r.x + (r.width - textWidth(box, label)) / 2;
    const int labelY = r.y + (r.height - box.lineHeight) / 2 + box.ascent;
    if (box.font != nullptr) {
        XDrawString(x11.display, box.window, box.gc, labelX, labelY, label.data(), 2);
    }
}

void draw(const MessageBox& box) {
    XClearWindow(x11.display, box.window);
    int textX = kMargin;
    if (hasIcon(box.type)) {
        if (isError(box.type)) {
            drawErrorSign(box, kMargin, kMargin);
        } else {
            drawInformationSign(box, kMargin, kMargin);
        }
        textX += kIconSide + kMargin;
    }
    XSetForeground(x11.display, box.gc, box.ink);
    if (box.font != nullptr) {
        int baseline = kMargin + box.ascent;
        for (const std::string& line : box.lines) {
            XDrawString(x11.display, box.window, box.gc, textX, baseline, line.data(),
                        static_cast<int>(line.size()));
            baseline += box.lineHeight;
        }
    }
    drawButton(box);
    XFlush(x11.display);
}

void setTitle(Window window, const char* caption) {
    const std::string title = caption != nullptr ? caption : "Error";
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    const int length = static_cast<int>(title.size());
    XChangeProperty(x11.display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes, length);
    XChangeProperty(x11.display, window, x11.netWmName, x11.utf8String, 8, PropModeReplace, bytes,
                    length);
}

// The owner's client area on the root window, or nothing when it has no X
// window to be centred on.
bool ownerArea(HWND owner, BoxRect* area) {
    const WindowRecord* ownerRecord = x11FindWindow(owner);
    if (ownerRecord == nullptr || ownerRecord->xwindow == None) {
        return false;
    }
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XGetWindowAttributes(x11.display, ownerRecord->xwindow, &attributes) ||
        !XTranslateCoordinates(x11.display, ownerRecord->xwindow,
                               RootWindow(x11.display, x11.screen), 0, 0, &x, &y, &child)) {
        return false;
    }
    *area = BoxRect{x, y, attributes.width, attributes.height};
    return true;
}

// Centred on the owner, else on the primary monitor: the X screen may span
// several monitors, and its centre can fall on a boundary between them.
BoxRect boxPlacement(const MessageBox& box, HWND owner) {
    BoxRect around{};
    if (!ownerArea(owner, &around)) {
        around = x11PrimaryMonitor();
    }
    return BoxRect{around.x + (around.width - box.width) / 2,
                   around.y + (around.height - box.height) / 2, box.width, box.height};
}

// Fixed size, placed as above, a dialog of its owner if it has one, with
// the program's icon and the main window's WM_CLASS instance.
void setManagerHints(const MessageBox& box, HWND owner) {
    const BoxRect place = boxPlacement(box, owner);
    XMoveWindow(x11.display, box.window, place.x, place.y);  // without a window manager
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    hints.x = place.x;
    hints.y = place.y;
    hints.width = hints.min_width = hints.max_width = box.width;
    hints.height = hints.min_height = hints.max_height = box.height;
    XSetWMNormalHints(x11.display, box.window, &hints);
    std::string name = program_invocation_short_name;
    std::string className = "Dialog";
    XClassHint classHint{name.data(), className.data()};
    XSetClassHint(x11.display, box.window, &classHint);
    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = True;
    XSetWMHints(x11.display, box.window, &wmHints);
    x11SetWmProtocols(box.window, false);  // the box's own loop does not answer pings
    x11SetClientProperties(box.window);
    x11SetIconProperty(box.window, x11ProgramIconHandle());
    Atom dialogType = x11.netWmWindowTypeDialog;
    XChangeProperty(x11.display, box.window, x11.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialogType), 1);
    const WindowRecord* ownerRecord = x11FindWindow(owner);
    if (ownerRecord != nullptr && ownerRecord->xwindow != None) {
        XSetTransientForHint(x11.display, box.window, ownerRecord->xwindow);
    }
}

void createWindow(MessageBox& box, HWND owner, const char* caption) {
    const unsigned long black = BlackPixel(x11.display, x11.screen);
    box.white = WhitePixel(x11.display, x11.screen);
    box.face = colour(236, 236, 236, box.white);
    box.shadow = colour(180, 180, 180, black);
    box.ink = black;
    box.signColour = isError(box.type) ? colour(210, 30, 30, black) : colour(30, 90, 200, black);

    XSetWindowAttributes attributes{};
    attributes.background_pixel = box.face;
    attributes.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    attributes.cursor = x11.arrowCursor;
    const int x = (DisplayWidth(x11.display, x11.screen) - box.width) / 2;
    const int y = (DisplayHeight(x11.display, x11.screen) - box.height) / 2;
    box.window = XCreateWindow(x11.display, RootWindow(x11.display, x11.screen), x, y,
                               static_cast<unsigned>(box.width), static_cast<unsigned>(box.height),
                               0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask | CWCursor, &attributes);
    setTitle(box.window, caption);
    setManagerHints(box, owner);
    box.gc = XCreateGC(x11.display, box.window, 0, nullptr);
    if (box.font != nullptr) {
        XSetFont(x11.display, box.gc, box.font->fid);
    }
}

bool insideButton(const MessageBox& box, int x, int y) {
    const BoxRect r = x11MessageBoxButton(box.width, box.height);
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

// Without a window manager focus follows the pointer; a box the user has to
// answer takes the keyboard as soon as it can be seen.
void takeFocus(const MessageBox& box) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x11.display, box.window, &attributes) &&
        attributes.map_state == IsViewable) {
        XSetInputFocus(x11.display, box.window, RevertToPointerRoot, CurrentTime);
    }
}

void handleKey(MessageBox& box, XKeyEvent& key) {
    const KeySym keysym = XLookupKeysym(&key, 0);
    if (keysym == XK_Return || keysym == XK_KP_Enter || keysym == XK_Escape || keysym == XK_space) {
        box.closed = true;
    }
}

void handleBoxEvent(MessageBox& box, XEvent& event) {
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) {
                draw(box);
            }
            break;
        case MapNotify:
            takeFocus(box);
            break;
        case KeyPress:
            handleKey(box, event.xkey);
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1 &&
                insideButton(box, event.xbutton.x, event.xbutton.y)) {
                box.buttonHeld = true;
                drawButton(box);
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && box.buttonHeld) {
                box.closed = insideButton(box, event.xbutton.x, event.xbutton.y);
                box.buttonHeld = false;
                drawButton(box);
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == x11.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == x11.wmDeleteWindow) {
                box.closed = true;
            }
            break;
        default:
            break;
    }
}

void destroy(MessageBox& box) {
    if (box.gc != nullptr) {
        XFreeGC(x11.display, box.gc);
    }
    if (box.window != None) {
        XDestroyWindow(x11.display, box.window);
    }
    if (box.font != nullptr) {
        XFreeFont(x11.display, box.font);
    }
    XFlush(x11.display);
}

}  // namespace

BoxRect x11MessageBoxButton(int boxWidth, int boxHeight) {
    return BoxRect{(boxWidth - kButtonWidth) / 2, boxHeight - kMargin - kButtonHeight, kButtonWidth,
                   kButtonHeight};
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (x11Display() == nullptr) {
        return 0;
    }
    MessageBox box;
    box.type = type;
    box.lines = splitLines(text);
    box.font = XLoadQueryFont(x11.display, "fixed");
    measure(box);
    createWindow(box, owner, caption);
    XMapRaised(x11.display, box.window);
    XFlush(x11.display);

    // Modal: sleeps in the connection; what belongs to other windows is kept.
    while (!box.closed) {
        XEvent event;
        XNextEvent(x11.display, &event);
        if (event.xany.window == box.window) {
            handleBoxEvent(box, event);
        } else {
            x11QueueEvent(event);
        }
    }
    destroy(box);
    return IDOK;
}
