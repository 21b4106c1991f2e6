// The modal message box, driven by a second client (an "operator" thread
// with its own connection) while the layer's thread waits in MessageBoxA.
#include "tests/platform_x11/x11_fixture.h"

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <optional>
#include <set>
#include <thread>

#include "tests/dialog/empty_font_config.h"

namespace {

struct Colour {
    unsigned red, green, blue;
};

bool isRed(Colour c) {
    return c.red > 180 && c.green < 80 && c.blue < 80;
}
bool isBlue(Colour c) {
    return c.blue > 170 && c.red < 80;
}
bool isWhite(Colour c) {
    return c.red > 230 && c.green > 230 && c.blue > 230;
}
bool isInk(Colour c) {
    return c.red < 60 && c.green < 60 && c.blue < 60;
}
bool isGrey(Colour c, unsigned level) {
    return c.red + 3 >= level && c.red <= level + 3 && c.green + 3 >= level && c.green <= level + 3;
}
// Antialiased black text on the light face: the greys strictly between them.
bool isTextShade(Colour c) {
    return c.red == c.green && c.green == c.blue && c.red > 20 && c.red < 220;
}

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
};

// A second client that finds the box, reads it and answers it.
class Operator {
public:
    explicit Operator(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
    ~Operator() { XCloseDisplay(display_); }

    // The viewable top-level window titled so, within the deadline.
    Window waitForBox(const std::string& title) {
        Window found = None;
        waitUntil([&] {
            found = findViewable(title);
            return found != None;
        });
        if (found != None) {
            XWindowAttributes attributes{};
            XGetWindowAttributes(display_, found, &attributes);
            width = attributes.width;
            height = attributes.height;
            Window child = None;
            XTranslateCoordinates(display_, found, DefaultRootWindow(display_), 0, 0, &rootX,
                                  &rootY, &child);
        }
        return found;
    }

    bool waitUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + kPatience;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    int countPixels(Window box, const std::function<bool(Colour)>& wanted) {
        return countPixels(box, {0, 0, width, height}, wanted);
    }
    int countPixels(Window box, Area area, const std::function<bool(Colour)>& wanted) {
        XImage* image = XGetImage(display_, box, area.x, area.y, static_cast<unsigned>(area.width),
                                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0;
        }
        int count = 0;
        for (int y = 0; y < area.height; ++y) {
            for (int x = 0; x < area.width; ++x) {
                count += wanted(colourOf(XGetPixel(image, x, y))) ? 1 : 0;
            }
        }
        XDestroyImage(image);
        return count;
    }

    // The OK button: what is dark in the lower half is its outline and label.
    Area findButton(Window box) {
        XImage* image = XGetImage(display_, box, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return {};
        }
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = height / 2; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Colour c = colourOf(XGetPixel(image, x, y));
                if (c.red < 80 && c.green < 80 && c.blue < 80) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        XDestroyImage(image);
        return right < left ? Area{} : Area{left, top, right - left + 1, bottom - top + 1};
    }

    // How many different pixel values the area holds, whatever the visual.
    std::size_t distinctValues(Window box, Area area) {
        XImage* image = XGetImage(display_, box, area.x, area.y, static_cast<unsigned>(area.width),
                                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
        std::set<unsigned long> values;
        for (int y = 0; image != nullptr && y < area.height; ++y) {
            for (int x = 0; x < area.width; ++x) {
                values.insert(XGetPixel(image, x, y));
            }
        }
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return values.size();
    }

    Colour pixel(Window box, int x, int y) {
        XImage* image = XGetImage(display_, box, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return {0, 0, 0};
        }
        const Colour c = colourOf(XGetPixel(image, 0, 0));
        XDestroyImage(image);
        return c;
    }

    bool isOpen(Window box) { return findViewable(titleOf(box)) == box; }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display_, 0, rootX + x, rootY + y, CurrentTime);
        XSync(display_, False);
    }
    void button(bool press) {
        XTestFakeButtonEvent(display_, 1, press ? True : False, CurrentTime);
        XSync(display_, False);
    }
    void tap(KeySym keysym) {
        const KeyCode code = XKeysymToKeycode(display_, keysym);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        XSync(display_, False);
    }
    void sendClose(Window window) {
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", 0));
        XSendEvent(display_, window, False, NoEventMask, &close);
        XSync(display_, False);
    }
    // Never leave the test's thread blocked in a box nobody answers.
    void closeIfOpen(Window box) {
        if (box != None && isOpen(box)) {
            sendClose(box);
        }
    }

    Window transientFor(Window box) {
        Window owner = None;
        XGetTransientForHint(display_, box, &owner);
        return owner;
    }

    Display* display() { return display_; }
    int width = 0;
    int height = 0;
    int rootX = 0;
    int rootY = 0;

private:
    Colour colourOf(unsigned long value) {
        return {static_cast<unsigned>((value >> 16) & 0xff),
                static_cast<unsigned>((value >> 8) & 0xff), static_cast<unsigned>(value & 0xff)};
    }
    std::string titleOf(Window window) {
        return textProperty(display_, window, XA_WM_NAME, XA_STRING);
    }
    Window findViewable(const std::string& title) {
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = None;
        if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
            return None;
        }
        for (unsigned i = 0; i < count && found == None; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display_, children[i], &attributes) &&
                attributes.map_state == IsViewable && titleOf(children[i]) == title) {
                found = children[i];
            }
        }
        XFree(children);
        return found;
    }

    Display* display_;
};

using X11MessageBoxTest = X11Test;

TEST_F(X11MessageBoxTest, AnErrorBoxShowsARedSignItsOwnerAndClosesOnReturn) {
    HWND owner = createShownWindow();
    const Window ownerX = xOf(owner);
    std::atomic<bool> dismissSent{false};
    Window box = None;
    Window transient = None;
    int red = 0;
    Colour centre{};
    int ink = 0;
    std::string type;
    std::thread operatorThread([&] {
        Operator op(server->display());
        box = op.waitForBox("Error");
        // The sign, its cross and the text are drawn one after another.
        op.waitUntil([&] {
            red = op.countPixels(box, isRed);
            centre = op.pixel(box, 14 + 16, 14 + 16);  // where the cross's bars meet
            ink = op.countPixels(box, isInk);
            return red > 300 && isWhite(centre) && ink > 50;
        });
        transient = op.transientFor(box);
        dismissSent = true;
        op.tap(XK_Return);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    const int result =
        MessageBoxA(owner, "ChoosePixelFormat failed\n", "Error", MB_OK | MB_ICONERROR);
    const bool returnedAfterDismissal = dismissSent;
    operatorThread.join();
    ASSERT_NE(box, Window(None));
    EXPECT_TRUE(returnedAfterDismissal);
    EXPECT_EQ(result, IDOK);
    EXPECT_GT(red, 300);
    EXPECT_TRUE(isWhite(centre)) << centre.red << "," << centre.green << "," << centre.blue;
    EXPECT_GT(ink, 50);  // the text and the button
    EXPECT_EQ(transient, ownerX);
    settle();
    EXPECT_FALSE(isTopLevel(observer, box));
}

TEST_F(X11MessageBoxTest, AnInformationBoxShowsABlueSignNoRedAndClosesOnEscape) {
    std::atomic<bool> dismissSent{false};
    Window box = None;
    int blue = 0;
    int red = -1;
    int shades = 0;
    Window transient = 1;
    std::thread operatorThread([&] {
        Operator op(server->display());
        box = op.waitForBox("Notice");
        op.waitUntil([&] { return (blue = op.countPixels(box, isBlue)) > 300; });
        red = op.countPixels(box, isRed);
        // Right of the sign and above the button: only the text is there.
        shades = op.countPixels(box, {14 + 32 + 14, 0, op.width - 60, op.height / 2}, isTextShade);
        transient = op.transientFor(box);
        dismissSent = true;
        op.tap(XK_Escape);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    const int result = MessageBoxA(nullptr, " mouse: touch the window image for movement----- ",
                                   "Notice", MB_OK | MB_ICONINFORMATION);
    const bool returnedAfterDismissal = dismissSent;
    operatorThread.join();
    EXPECT_TRUE(returnedAfterDismissal);
    EXPECT_EQ(result, IDOK);
    EXPECT_GT(blue, 300);
    EXPECT_EQ(red, 0);
    EXPECT_GT(shades, 100) << "the text is not antialiased";
    EXPECT_EQ(transient, Window(None));
}

TEST_F(X11MessageBoxTest, OnlyAClickThatPressesAndReleasesOnOkCloses) {
    std::atomic<bool> dismissSent{false};
    bool openAfterOutsideClick = false;
    bool openAfterSlidingOff = false;
    std::thread operatorThread([&] {
        Operator op(server->display());
        const Window box = op.waitForBox("Click");
        Area ok;
        op.waitUntil([&] { return (ok = op.findButton(box)).width > 40; });
        const int okX = ok.x + ok.width / 2;
        const int okY = ok.y + ok.height / 2;
        const auto face = [&] { return op.pixel(box, ok.x + 5, okY); };
        op.waitUntil([&] { return isGrey(face(), 236); });
        // A click beside the button; then a press on it, which shows once
        // the box has handled everything before it.
        op.moveTo(5, 5);
        op.button(true);
        op.button(false);
        op.moveTo(okX, okY);
        op.button(true);
        op.waitUntil([&] { return isGrey(face(), 180); });
        openAfterOutsideClick = op.isOpen(box);
        // Sliding off the button before releasing cancels the click.
        op.moveTo(5, 5);
        op.button(false);
        op.waitUntil([&] { return isGrey(face(), 236); });
        openAfterSlidingOff = op.isOpen(box);
        op.moveTo(okX, okY);
        op.button(true);
        op.waitUntil([&] { return isGrey(face(), 180); });
        dismissSent = true;
        op.button(false);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    const int result = MessageBoxA(nullptr, "Press OK", "Click", MB_OK);
    const bool returnedAfterDismissal = dismissSent;
    operatorThread.join();
    EXPECT_TRUE(openAfterOutsideClick);
    EXPECT_TRUE(openAfterSlidingOff);
    EXPECT_TRUE(returnedAfterDismissal);
    EXPECT_EQ(result, IDOK);
}

TEST_F(X11MessageBoxTest, TheManagersCloseButtonClosesItAndOtherWindowsKeepTheirEvents) {
    HWND window = createShownWindow(50, 50, 300, 200);
    const Window windowX = xOf(window);
    std::atomic<bool> dismissSent{false};
    std::thread operatorThread([&] {
        Operator op(server->display());
        const Window box = op.waitForBox("Closing");
        // Meanwhile the main window is resized and asked to close.
        XResizeWindow(op.display(), windowX, 400, 300);
        op.sendClose(windowX);
        dismissSent = true;
        op.sendClose(box);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    const int result = MessageBoxA(window, "text", "Closing", MB_OK);
    const bool returnedAfterDismissal = dismissSent;
    operatorThread.join();
    EXPECT_TRUE(returnedAfterDismissal);
    EXPECT_EQ(result, IDOK);
    const std::vector<MSG> taken = takeAll();
    bool sized = false;
    bool closeAsked = false;
    for (const MSG& m : taken) {
        sized = sized || (m.message == WM_SIZE && m.hwnd == window && LOWORD(m.lParam) == 400 &&
                          HIWORD(m.lParam) == 300);
        closeAsked = closeAsked || (m.message == WM_CLOSE && m.hwnd == window);
    }
    EXPECT_TRUE(sized);
    EXPECT_TRUE(closeAsked);
}

// Only the user answers a box: keys and clicks that another client sends
// (XSendEvent) are not taken for theirs.
TEST_F(X11MessageBoxTest, ForgedKeysAndClicksDoNotCloseIt) {
    std::atomic<bool> closeSent{false};
    std::thread operatorThread([&] {
        Operator op(server->display());
        const Window box = op.waitForBox("Forged");
        XEvent event{};
        event.xkey.type = KeyPress;
        event.xkey.window = box;
        event.xkey.same_screen = True;
        for (KeySym key : {XK_Return, XK_space, XK_Escape}) {
            event.xkey.keycode = XKeysymToKeycode(op.display(), key);
            XSendEvent(op.display(), box, False, KeyPressMask, &event);
        }
        XWindowAttributes attributes{};
        XGetWindowAttributes(op.display(), box, &attributes);
        event = XEvent{};
        event.xbutton.window = box;
        event.xbutton.button = Button1;
        event.xbutton.same_screen = True;
        for (int y = 0; y < attributes.height; y += 4) {  // over the button, wherever it is
            for (int x = 0; x < attributes.width; x += 8) {
                event.xbutton.x = x;
                event.xbutton.y = y;
                event.xbutton.type = ButtonPress;
                XSendEvent(op.display(), box, False, ButtonPressMask, &event);
                event.xbutton.type = ButtonRelease;
                XSendEvent(op.display(), box, False, ButtonReleaseMask, &event);
            }
        }
        // The box reads its events in order. Blacken it and ask it to repaint:
        // if it paints, it read the forged events before and is still open.
        GC gc = XCreateGC(op.display(), box, 0, nullptr);
        XSetForeground(op.display(), gc, BlackPixel(op.display(), DefaultScreen(op.display())));
        XFillRectangle(op.display(), box, gc, 0, 0, static_cast<unsigned>(op.width),
                       static_cast<unsigned>(op.height));
        XFreeGC(op.display(), gc);
        event = XEvent{};
        event.xexpose.type = Expose;
        event.xexpose.window = box;
        event.xexpose.width = op.width;
        event.xexpose.height = op.height;
        XSendEvent(op.display(), box, False, ExposureMask, &event);
        XSync(op.display(), False);
        const auto lit = [](Colour c) { return c.red > 200 && c.green > 200 && c.blue > 200; };
        EXPECT_TRUE(op.waitUntil([&] {
            return op.countPixels(box, lit) > op.width * op.height / 2;
        })) << "the box did not repaint after the forged events";
        EXPECT_TRUE(op.isOpen(box));
        closeSent = true;
        op.sendClose(box);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    const int result = MessageBoxA(nullptr, "text", "Forged", MB_OK);
    const bool returnedAfterClose = closeSent;
    operatorThread.join();
    EXPECT_TRUE(returnedAfterClose);
    EXPECT_EQ(result, IDOK);
}

// With no font that fontconfig knows the box keeps its sign, size and button,
// without text (tests/dialog checks the fallback's parts); same keys.
class X11MessageBoxWithoutFontsTest : public X11Test {
protected:
    static void SetUpTestSuite() {
        noFonts.emplace();
        X11Test::SetUpTestSuite();
    }
    static void TearDownTestSuite() {
        noFonts.reset();
        X11Test::TearDownTestSuite();
    }
    static inline std::optional<EmptyFontConfig> noFonts;
};

TEST_F(X11MessageBoxWithoutFontsTest, TheBoxShowsItsSignAndButtonWithoutTextAndClosesOnSpace) {
    const std::string said = " mouse: touch the window image for movement----- ";
    int blue = 0;
    int ink = -1;
    Area button;
    int width = 0;
    bool closed = false;
    std::thread operatorThread([&] {
        Operator op(server->display());
        const Window box = op.waitForBox("No fonts");
        op.waitUntil([&] {
            blue = op.countPixels(box, isBlue);
            button = op.findButton(box);
            return blue > 300 && button.width > 0;
        });
        width = op.width;
        // Right of the sign and above the button, where the text would be.
        ink = op.countPixels(box, {14 + 32 + 14, 0, op.width - 60, button.y},
                             [](Colour c) { return c.red < 200; });
        op.tap(XK_space);
        closed = op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    MessageBoxA(nullptr, said.c_str(), "No fonts", MB_OK | MB_ICONINFORMATION);
    operatorThread.join();
    EXPECT_GT(blue, 300);
    EXPECT_EQ(button.width, 80);
    EXPECT_EQ(width, 14 + 32 + 14 + 6 * static_cast<int>(said.size()) + 14);
    EXPECT_EQ(ink, 0) << "text where there is no font";
    EXPECT_TRUE(closed);
}

// The text's shades in a box without a sign, once there are enough of them
// or the wait ends; the box is closed with Return.
std::size_t textShadesOnScreen(const std::string& display, std::size_t enough) {
    std::size_t shades = 0;
    std::thread operatorThread([&] {
        Operator op(display);
        const Window box = op.waitForBox("Depth");
        op.waitUntil([&] {
            shades = op.distinctValues(box, {0, 0, op.width, op.height / 3});
            return shades >= enough;
        });
        op.tap(XK_Return);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    MessageBoxA(nullptr, "Shown at any depth", "Depth", MB_OK);
    operatorThread.join();
    return shades;
}

// 16-bit TrueColor takes the picture through its channel masks.
class X11MessageBoxOn16BitsTest : public X11Test {
protected:
    static void SetUpTestSuite() { startServer("1024x768x16", {}); }
};

TEST_F(X11MessageBoxOn16BitsTest, TheTextKeepsItsAntialiasedShades) {
    EXPECT_GT(textShadesOnScreen(server->display(), 9), 8u);
}

// A colour-mapped screen has no room for the shades: the picture comes
// without them, in a few colour cells.
class X11MessageBoxOn8BitsTest : public X11Test {
protected:
    static void SetUpTestSuite() { startServer("1024x768x8", {}); }
};

TEST_F(X11MessageBoxOn8BitsTest, TheBoxFallsBackToTwoColourText) {
    EXPECT_EQ(textShadesOnScreen(server->display(), 2), 2u);
}

// The colour a colour-mapped pixel stands for, 8 bits a channel.
Colour cellColour(Display* display, unsigned long pixel) {
    XColor cell{};
    cell.pixel = pixel;
    XQueryColor(display, DefaultColormap(display, DefaultScreen(display)), &cell);
    return {cell.red / 257u, cell.green / 257u, cell.blue / 257u};
}

bool near(Colour c, Colour wanted) {
    const auto close = [](unsigned a, unsigned b) { return a + 2 >= b && a <= b + 2; };
    return close(c.red, wanted.red) && close(c.green, wanted.green) && close(c.blue, wanted.blue);
}

TEST_F(X11MessageBoxOn8BitsTest, TheFaceAndTheSignKeepTheirColours) {
    Colour face{};
    Colour sign{};
    std::thread operatorThread([&] {
        Operator op(server->display());
        const Window box = op.waitForBox("Mapped");
        op.waitUntil([&] {
            XImage* image = XGetImage(op.display(), box, 0, 0, static_cast<unsigned>(op.width),
                                      static_cast<unsigned>(op.height), AllPlanes, ZPixmap);
            if (image != nullptr) {
                face = cellColour(op.display(), XGetPixel(image, 2, 2));
                sign = cellColour(op.display(), XGetPixel(image, 14 + 4, 14 + 16));
                XDestroyImage(image);
            }
            return near(face, {236, 236, 236}) && near(sign, {210, 30, 30});
        });
        op.tap(XK_Return);
        op.waitUntil([&] { return !op.isOpen(box); });
        op.closeIfOpen(box);
    });
    MessageBoxA(nullptr, "failed", "Mapped", MB_OK | MB_ICONERROR);
    operatorThread.join();
    EXPECT_TRUE(near(face, {236, 236, 236})) << face.red << "," << face.green << "," << face.blue;
    EXPECT_TRUE(near(sign, {210, 30, 30})) << sign.red << "," << sign.green << "," << sign.blue;
}

}  // namespace
