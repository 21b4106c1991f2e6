// MessageBoxA as a modal X dialog: a small window of its own titled with the
// caption, an information or error sign, the text and one OK button, laid
// out and drawn by platform/dialog in the desktop's sans-serif font at the
// Xft.dpi resource's scale, and shown here with XPutImage. Return, Space,
// Esc, a click on OK or the window manager's close button dismiss it; it
// returns only then. Events for the program's windows that arrive meanwhile
// go to their queue.
//
// Depends on: Xlib (Xrm for Xft.dpi), platform/dialog (FreeType and
// fontconfig). Without a usable font, or on a screen that is not TrueColor,
// it draws as before with X primitives and the core font "fixed" at 96 dpi;
// without that font too, the box still works, only without text.
// Cannot: buttons other than OK, text wrapping, or input methods.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dialog/dialog_render.h"

namespace {

constexpr int kCoreLineWidth = 2;  // the button's outline in the core-font look

struct MessageBox {
    Window window = None;
    GC gc = nullptr;
    XFontStruct* font = nullptr;  // the core font, when drawing without a picture
    DialogFontHandle desktopFont;
    DialogContent content;
    DialogPixels pixels;
    UINT type = 0;
    int width = 0;
    int height = 0;
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
DialogSign signOf(UINT type) {
    if (!hasIcon(type)) {
        return DialogSign::none;
    }
    return isError(type) ? DialogSign::error : DialogSign::information;
}

// Xft.dpi from the resources the connection was opened with; 96 without it.
double resourceDpi() {
    const char* resources = XResourceManagerString(x11.display);
    if (resources == nullptr) {
        return kDefaultDpi;
    }
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    char* type = nullptr;
    XrmValue value{};
    double dpi = kDefaultDpi;
    if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) &&
        value.addr != nullptr) {
        dpi = dialogDpiFromText(std::string(value.addr, value.size).c_str());
    }
    if (database != nullptr) {
        XrmDestroyDatabase(database);
    }
    return dpi;
}

// The picture is shown through the visual's channel masks, so any TrueColor
// depth takes it; colour maps would need a colour per antialiased shade.
bool screenTakesPictures() {
    const Visual* visual = DefaultVisual(x11.display, x11.screen);
    return visual->c_class == TrueColor;
}

int coreTextWidth(const MessageBox& box, const std::string& line) {
    const int length = static_cast<int>(line.size());
    return box.font != nullptr ? XTextWidth(box.font, line.data(), length) : 6 * length;
}

DialogTextMetrics measureCoreText(const MessageBox& box, const std::string& caption) {
    DialogTextMetrics metrics;
    for (const std::string& line : box.content.lines) {
        metrics.lineWidths.push_back(coreTextWidth(box, line));
    }
    metrics.captionWidth = coreTextWidth(box, caption);
    metrics.labelWidth = coreTextWidth(box, kDialogButtonLabel);
    metrics.ascent = box.font != nullptr ? box.font->ascent : 10;
    metrics.lineHeight = box.font != nullptr ? box.font->ascent + box.font->descent : 13;
    return metrics;
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

// The core font does not scale, so that look stays at 96 dpi. The box must
// fit on one monitor, not merely on the X screen that may span several.
void measure(MessageBox& box, const char* caption, double dpi) {
    const std::string title = caption != nullptr ? caption : "Error";
    const BoxRect monitor = x11PrimaryMonitor();
    const DialogBounds bounds{monitor.width - 28, monitor.height - 28};
    if (box.desktopFont) {
        box.content.layout =
            layoutDialog(measureDialogText(*box.desktopFont, box.content.lines, title),
                         hasIcon(box.type), dpi, bounds);
    } else {
        box.content.layout =
            layoutDialog(measureCoreText(box, title), hasIcon(box.type), kDefaultDpi, bounds);
    }
    box.width = box.content.layout.width;
    box.height = box.content.layout.height;
}

// One channel of an xRGB word placed under a visual's mask.
unsigned long toChannel(std::uint32_t xrgb, int shift, unsigned long mask) {
    const unsigned long value = (xrgb >> shift) & 0xff;
    const int low = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long scaled = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (scaled << low) & mask;
}

// Copies part of the picture to the window through an XImage of the screen's
// own format; XPutPixel takes care of depth and byte order.
void showPixels(const MessageBox& box, const DialogRect& area) {
    Visual* visual = DefaultVisual(x11.display, x11.screen);
    const auto width = static_cast<unsigned>(area.width);
    const auto height = static_cast<unsigned>(area.height);
    XImage* image = XCreateImage(x11.display, visual,
                                 static_cast<unsigned>(DefaultDepth(x11.display, x11.screen)),
                                 ZPixmap, 0, nullptr, width, height, 32, 0);
    if (image == nullptr) {
        return;
    }
    image->data =
        static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line), height));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return;
    }
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const std::size_t at =
                static_cast<std::size_t>(area.y + y) * box.pixels.width + (area.x + x);
            const std::uint32_t xrgb = box.pixels.xrgb[at];
            XPutPixel(image, x, y,
                      toChannel(xrgb, 16, visual->red_mask) |
                          toChannel(xrgb, 8, visual->green_mask) |
                          toChannel(xrgb, 0, visual->blue_mask));
        }
    }
    XPutImage(x11.display, box.window, box.gc, image, 0, 0, area.x, area.y, width, height);
    XDestroyImage(image);
}

void drawErrorSign(const MessageBox& box, int x, int y) {
    const int side = box.content.layout.icon.width;
    XSetForeground(x11.display, box.gc, box.signColour);
    XFillArc(x11.display, box.window, box.gc, x, y, static_cast<unsigned>(side),
             static_cast<unsigned>(side), 0, 360 * 64);
    XSetForeground(x11.display, box.gc, box.white);
    XSetLineAttributes(x11.display, box.gc, 4, LineSolid, CapRound, JoinRound);
    XDrawLine(x11.display, box.window, box.gc, x + 10, y + 10, x + 22, y + 22);
    XDrawLine(x11.display, box.window, box.gc, x + 22, y + 10, x + 10, y + 22);
    XSetLineAttributes(x11.display, box.gc, 1, LineSolid, CapButt, JoinMiter);
}

void drawInformationSign(const MessageBox& box, int x, int y) {
    const int side = box.content.layout.icon.width;
    XSetForeground(x11.display, box.gc, box.signColour);
    XFillArc(x11.display, box.window, box.gc, x, y, static_cast<unsigned>(side),
             static_cast<unsigned>(side), 0, 360 * 64);
    XSetForeground(x11.display, box.gc, box.white);
    XFillArc(x11.display, box.window, box.gc, x + 13, y + 6, 6, 6, 0, 360 * 64);
    XFillRectangle(x11.display, box.window, box.gc, x + 13, y + 14, 6, 12);
}

void drawCoreButton(const MessageBox& box) {
    const DialogLayout& layout = box.content.layout;
    const DialogRect& r = layout.button;
    XSetForeground(x11.display, box.gc, box.buttonHeld ? box.shadow : box.face);
    XFillRectangle(x11.display, box.window, box.gc, r.x, r.y, static_cast<unsigned>(r.width),
                   static_cast<unsigned>(r.height));
    XSetForeground(x11.display, box.gc, box.ink);
    XSetLineAttributes(x11.display, box.gc, kCoreLineWidth, LineSolid, CapButt, JoinMiter);
    XDrawRectangle(x11.display, box.window, box.gc, r.x + 1, r.y + 1,
                   static_cast<unsigned>(r.width - 2), static_cast<unsigned>(r.height - 2));
    XSetLineAttributes(x11.display, box.gc, 1, LineSolid, CapButt, JoinMiter);
    if (box.font != nullptr) {
        XDrawString(x11.display, box.window, box.gc, layout.labelX, layout.labelBaseline,
                    kDialogButtonLabel, static_cast<int>(std::strlen(kDialogButtonLabel)));
    }
}

void drawCore(const MessageBox& box) {
    const DialogLayout& layout = box.content.layout;
    XClearWindow(x11.display, box.window);
    if (hasIcon(box.type)) {
        if (isError(box.type)) {
            drawErrorSign(box, layout.icon.x, layout.icon.y);
        } else {
            drawInformationSign(box, layout.icon.x, layout.icon.y);
        }
    }
    XSetForeground(x11.display, box.gc, box.ink);
    if (box.font != nullptr) {
        for (std::size_t i = 0; i < layout.baselines.size(); ++i) {
            const std::string& line = box.content.lines[i];
            XDrawString(x11.display, box.window, box.gc, layout.textX, layout.baselines[i],
                        line.data(), static_cast<int>(line.size()));
        }
    }
    drawCoreButton(box);
}

void draw(const MessageBox& box) {
    if (box.desktopFont) {
        showPixels(box, {0, 0, box.pixels.width, box.pixels.height});
    } else {
        drawCore(box);
    }
    XFlush(x11.display);
}

void drawButton(MessageBox& box) {
    if (box.desktopFont) {
        renderDialogButton(box.pixels, box.content, *box.desktopFont, box.buttonHeld);
        showPixels(box, box.content.layout.button);
    } else {
        drawCoreButton(box);
    }
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
    const Window ownerWindow = x11TopLevelOf(owner);
    if (ownerWindow == None) {
        return false;
    }
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XGetWindowAttributes(x11.display, ownerWindow, &attributes) ||
        !XTranslateCoordinates(x11.display, ownerWindow, RootWindow(x11.display, x11.screen), 0, 0,
                               &x, &y, &child)) {
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
    x11SetIconProperty(box.window, coreProgramIcon());
    Atom dialogType = x11.netWmWindowTypeDialog;
    XChangeProperty(x11.display, box.window, x11.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialogType), 1);
    const Window ownerWindow = x11TopLevelOf(owner);
    if (ownerWindow != None) {
        XSetTransientForHint(x11.display, box.window, ownerWindow);
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
    return box.content.layout.button.contains(x, y);
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
    if (x11IsForged(event)) {
        return;  // another client must not answer the box for the user
    }
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

int x11MessageBox(WindowRecord* ownerRecord, const char* text, const char* caption, UINT type) {
    const HWND owner = ownerRecord != nullptr ? coreHandle(*ownerRecord) : nullptr;
    MessageBox box;
    box.type = type;
    box.content.lines = splitDialogLines(text);
    box.content.sign = signOf(type);
    const double dpi = resourceDpi();
    if (screenTakesPictures()) {
        box.desktopFont = openDesktopFont(dpi);
    }
    if (!box.desktopFont) {
        box.font = XLoadQueryFont(x11.display, "fixed");
    }
    measure(box, caption, dpi);
    if (box.desktopFont) {
        box.pixels = renderDialog(box.content, *box.desktopFont, false);
    }
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
