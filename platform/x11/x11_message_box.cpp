// MessageBoxA as a modal X dialog: a small window of its own titled with the
// caption, showing the picture platform/dialog draws at the Xft.dpi
// resource's scale, with XPutImage. platform/dialog decides what the keys
// and the button do; the window manager's close button dismisses it too. It
// returns only then. Events for the program's windows that arrive meanwhile
// go to their queue.
//
// Depends on: Xlib (Xrm for Xft.dpi), platform/dialog (FreeType and
// fontconfig). TrueColor screens of any depth take the picture through their
// channel masks; colour-mapped ones get it without antialiased shades, one
// colour cell for each of its few colours. Once the first box is drawn and
// no event waits, the core's warm-up starts on its helper thread, so that
// the window made after it finds its context ready.
// Cannot: input methods.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/dialog/dialog_box.h"

namespace {

struct MessageBox {
    Window window = None;
    GC gc = nullptr;
    DialogBox dialog;
    std::map<std::uint32_t, unsigned long> cells;  // colour-mapped screens: xRGB to pixel
    bool closed = false;
    bool drawn = false;
    bool settled = false;
    int answer = 0;
};

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

bool screenTakesShades() {
    return DefaultVisual(x11.display, x11.screen)->c_class == TrueColor;
}

// One channel of an xRGB word placed under a visual's mask.
unsigned long toChannel(std::uint32_t xrgb, int shift, unsigned long mask) {
    const unsigned long value = (xrgb >> shift) & 0xff;
    const int low = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long scaled = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (scaled << low) & mask;
}

// A full colour map leaves black or white, whichever is nearer.
unsigned long allocatedCell(std::uint32_t xrgb) {
    XColor c{};
    c.red = static_cast<unsigned short>(((xrgb >> 16) & 0xff) * 257);
    c.green = static_cast<unsigned short>(((xrgb >> 8) & 0xff) * 257);
    c.blue = static_cast<unsigned short>((xrgb & 0xff) * 257);
    c.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(x11.display, DefaultColormap(x11.display, x11.screen), &c)) {
        return c.pixel;
    }
    const unsigned sum = ((xrgb >> 16) & 0xff) + ((xrgb >> 8) & 0xff) + (xrgb & 0xff);
    return sum >= 3 * 128 ? WhitePixel(x11.display, x11.screen)
                          : BlackPixel(x11.display, x11.screen);
}

unsigned long pixelOf(MessageBox& box, std::uint32_t xrgb) {
    const Visual* visual = DefaultVisual(x11.display, x11.screen);
    if (visual->c_class == TrueColor) {
        return toChannel(xrgb, 16, visual->red_mask) | toChannel(xrgb, 8, visual->green_mask) |
               toChannel(xrgb, 0, visual->blue_mask);
    }
    const auto known = box.cells.find(xrgb);
    return known != box.cells.end() ? known->second : box.cells[xrgb] = allocatedCell(xrgb);
}

// Copies part of the picture to the window through an XImage of the screen's
// own format; XPutPixel takes care of depth and byte order.
void showPixels(MessageBox& box, const DialogRect& area) {
    const DialogPixels& pixels = box.dialog.pixels;
    const auto width = static_cast<unsigned>(area.width);
    const auto height = static_cast<unsigned>(area.height);
    XImage* image = XCreateImage(x11.display, DefaultVisual(x11.display, x11.screen),
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
                static_cast<std::size_t>(area.y + y) * pixels.width + (area.x + x);
            XPutPixel(image, x, y, pixelOf(box, pixels.xrgb[at]));
        }
    }
    XPutImage(x11.display, box.window, box.gc, image, 0, 0, area.x, area.y, width, height);
    XDestroyImage(image);
    XFlush(x11.display);
}

void setTitle(Window window, const char* caption) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(caption);
    const int length = static_cast<int>(std::strlen(caption));
    XChangeProperty(x11.display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes, length);
    XChangeProperty(x11.display, window, x11.netWmName, x11.utf8String, 8, PropModeReplace, bytes,
                    length);
}

Window ownerWindow(const WindowRecord* owner) {
    const X11Window* window = owner != nullptr ? x11WindowOf(*owner) : nullptr;
    return window != nullptr ? window->xwindow : None;
}

// The owner's client area on the root window, or nothing when it has no X
// window to be centred on.
bool ownerArea(Window owner, BoxRect* area) {
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = None;
    if (owner == None || !XGetWindowAttributes(x11.display, owner, &attributes) ||
        !XTranslateCoordinates(x11.display, owner, RootWindow(x11.display, x11.screen), 0, 0, &x,
                               &y, &child)) {
        return false;
    }
    *area = BoxRect{x, y, attributes.width, attributes.height};
    return true;
}

// Centred on the owner, else on the primary monitor: the X screen may span
// several monitors, and its centre can fall on a boundary between them.
BoxRect boxPlacement(int width, int height, Window owner) {
    BoxRect around{};
    if (!ownerArea(owner, &around)) {
        around = x11PrimaryMonitor();
    }
    return BoxRect{around.x + (around.width - width) / 2, around.y + (around.height - height) / 2,
                   width, height};
}

// Fixed size, placed as above, a dialog of its owner if it has one, with
// the program's icon and the main window's WM_CLASS instance.
void setManagerHints(const MessageBox& box, Window owner) {
    const DialogPixels& pixels = box.dialog.pixels;
    const BoxRect place = boxPlacement(pixels.width, pixels.height, owner);
    XMoveWindow(x11.display, box.window, place.x, place.y);  // without a window manager
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    hints.x = place.x;
    hints.y = place.y;
    hints.width = hints.min_width = hints.max_width = pixels.width;
    hints.height = hints.min_height = hints.max_height = pixels.height;
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
    if (owner != None) {
        XSetTransientForHint(x11.display, box.window, owner);
    }
}

void createWindow(MessageBox& box, Window owner, const char* caption) {
    const auto width = static_cast<unsigned>(box.dialog.pixels.width);
    const auto height = static_cast<unsigned>(box.dialog.pixels.height);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixelOf(box, kDialogFace);
    attributes.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    box.window = XCreateWindow(x11.display, RootWindow(x11.display, x11.screen), 0, 0, width,
                               height, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask, &attributes);
    setTitle(box.window, caption);
    setManagerHints(box, owner);
    box.gc = XCreateGC(x11.display, box.window, 0, nullptr);
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

void follow(MessageBox& box, const DialogReply& reply) {
    if (reply.redraw.width > 0 && reply.redraw.height > 0) {
        showPixels(box, reply.redraw);
    }
    box.closed = reply.done;
    box.answer = reply.answer;
}

void handleButton(MessageBox& box, const XButtonEvent& button, DialogPointer what) {
    if (button.button == Button1) {
        follow(box, dialogPointer(box.dialog, button.x, button.y, what));
    }
}

void handleBoxEvent(MessageBox& box, XEvent& event) {
    if (x11IsForged(event)) {
        return;  // another client must not answer the box for the user
    }
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) {
                showPixels(box, {0, 0, box.dialog.pixels.width, box.dialog.pixels.height});
                box.drawn = true;
            }
            break;
        case MapNotify:
            takeFocus(box);
            break;
        case KeyPress:
            follow(box, dialogKey(box.dialog,
                                  static_cast<std::uint32_t>(XLookupKeysym(&event.xkey, 0))));
            break;
        case ButtonPress:
            handleButton(box, event.xbutton, DialogPointer::press);
            break;
        case ButtonRelease:
            handleButton(box, event.xbutton, DialogPointer::release);
            break;
        case ClientMessage:
            if (event.xclient.message_type == x11.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == x11.wmDeleteWindow) {
                follow(box, dialogClosed());
            }
            break;
        default:
            break;
    }
}

// Once the box is drawn and nothing waits, what it can be seen without: the
// pointer's arrow (a cursor theme lookup of a few ms) and, behind the first
// box, the warm-up.
void settle(MessageBox& box) {
    box.settled = true;
    XDefineCursor(x11.display, box.window, x11ArrowCursor());
    coreStartWarmUp();
}

void destroy(MessageBox& box) {
    if (box.gc != nullptr) {
        XFreeGC(x11.display, box.gc);
    }
    if (box.window != None) {
        XDestroyWindow(x11.display, box.window);
    }
    XFlush(x11.display);
}

}  // namespace

int x11MessageBox(WindowRecord* owner, const char* text, const char* caption, UINT type) {
    const BoxRect monitor = x11PrimaryMonitor();  // one monitor, not the whole X screen
    MessageBox box;
    box.dialog = openDialogBox(text, caption, type,
                               {resourceDpi(), monitor.width, monitor.height, screenTakesShades()});
    createWindow(box, ownerWindow(owner), caption);
    XMapRaised(x11.display, box.window);
    XFlush(x11.display);

    // Modal: sleeps in the connection; what belongs to other windows is kept.
    while (!box.closed) {
        if (box.drawn && !box.settled && XPending(x11.display) == 0) {
            settle(box);
        }
        XEvent event;
        XNextEvent(x11.display, &event);
        if (event.xany.window == box.window) {
            handleBoxEvent(box, event);
        } else {
            x11QueueEvent(event);
        }
    }
    destroy(box);
    return box.answer;
}
