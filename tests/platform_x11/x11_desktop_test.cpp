// What window managers and other clients see of the layer: process and
// machine properties, forged events, where message boxes go and what they
// carry; and the primary monitor on a two-monitor server. Pings and the
// notice on two monitors are checked end to end (tests/e2e/desktop_e2e_test).
#include "tests/platform_x11/x11_fixture.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <errno.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "tests/support/wait_for.h"
#include "tests/support/x_windows.h"

namespace {

using X11DesktopTest = X11Test;

Atom atom(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

std::vector<Atom> protocolsOf(Display* display, Window window) {
    Atom* atoms = nullptr;
    int count = 0;
    std::vector<Atom> found;
    if (XGetWMProtocols(display, window, &atoms, &count)) {
        found.assign(atoms, atoms + count);
        XFree(atoms);
    }
    return found;
}

std::string clientMachine(Display* display, Window window) {
    XTextProperty property{};
    if (!XGetWMClientMachine(display, window, &property) || property.value == nullptr) {
        return "<none>";
    }
    std::string text(reinterpret_cast<char*>(property.value), property.nitems);
    XFree(property.value);
    return text;
}

std::string hostName() {
    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof host - 1);
    return host;
}

void sendClientMessage(Display* display, Window window, Atom type, long first, long second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

bool isOneOf(UINT message, std::initializer_list<UINT> messages) {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

TEST_F(X11DesktopTest, TopLevelsNameTheirProcessAndMachineAndOfferPing) {
    HWND window = createWindow();
    settle();
    const Window x = xOf(window);
    const auto pid = cardinalProperty(observer, x, atom(observer, "_NET_WM_PID"), XA_CARDINAL);
    ASSERT_EQ(pid.size(), 1u);
    EXPECT_EQ(pid[0], static_cast<unsigned long>(getpid()));
    EXPECT_EQ(clientMachine(observer, x), hostName());
    const auto protocols = protocolsOf(observer, x);
    EXPECT_EQ(std::count(protocols.begin(), protocols.end(), atom(observer, "WM_DELETE_WINDOW")),
              1);
    EXPECT_EQ(std::count(protocols.begin(), protocols.end(), atom(observer, "_NET_WM_PING")), 1);
}

TEST_F(X11DesktopTest, ForgedInputAndDestructionAreDroppedButConfigureAndCloseAreNot) {
    HWND window = createShownWindow(50, 50, 300, 200);
    const Window x = xOf(window);
    XEvent event{};
    event.xany.window = x;
    event.xbutton.type = ButtonPress;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    XSendEvent(observer, x, False, ButtonPressMask, &event);
    event.xbutton.type = ButtonRelease;
    XSendEvent(observer, x, False, ButtonReleaseMask, &event);
    event.xmotion.type = MotionNotify;
    XSendEvent(observer, x, False, PointerMotionMask, &event);
    event = XEvent{};
    event.xkey.type = KeyPress;
    event.xkey.window = x;
    event.xkey.keycode = XKeysymToKeycode(observer, XK_f);
    XSendEvent(observer, x, False, KeyPressMask, &event);
    event = XEvent{};
    event.xdestroywindow.type = DestroyNotify;
    event.xdestroywindow.event = event.xdestroywindow.window = x;
    XSendEvent(observer, x, False, StructureNotifyMask, &event);
    // ICCCM: a window manager tells a client its size by a synthetic event.
    event = XEvent{};
    event.xconfigure.type = ConfigureNotify;
    event.xconfigure.event = event.xconfigure.window = x;
    event.xconfigure.width = 320;
    event.xconfigure.height = 220;
    XSendEvent(observer, x, False, StructureNotifyMask, &event);
    sendClientMessage(observer, x, atom(observer, "WM_PROTOCOLS"),
                      static_cast<long>(atom(observer, "WM_DELETE_WINDOW")), CurrentTime);

    std::vector<MSG> taken;
    // Other messages (a repaint of the moved picture) may come after it.
    ASSERT_TRUE(takeUntil(taken, [](const std::vector<MSG>& so) {
        return std::any_of(so.begin(), so.end(),
                           [](const MSG& m) { return m.message == WM_CLOSE; });
    }));
    for (const MSG& msg : taken) {
        EXPECT_FALSE(isOneOf(msg.message, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_KEYDOWN}))
            << "forged message " << msg.message;
    }
    const auto size =
        std::find_if(taken.begin(), taken.end(), [](const MSG& m) { return m.message == WM_SIZE; });
    ASSERT_NE(size, taken.end());
    EXPECT_EQ(size->lParam, MAKELPARAM(320, 220));
    EXPECT_EQ(countReceived(WM_DESTROY), 0);
    EXPECT_NE(coreFindWindow(window), nullptr);
}

// What a second connection saw of a box before it closed it.
struct BoxSeen {
    Window window = None;
    WindowGeometry geometry;
    std::optional<WmClass> wmClass;
    std::vector<unsigned long> icon;
    std::vector<unsigned long> pid;
    std::vector<unsigned long> type;
    std::vector<Atom> protocols;
    std::string machine;
    Window transientFor = None;
};

// Shows a box on this thread while another connection reads and closes it.
BoxSeen showBoxAndLook(HWND owner, const char* caption) {
    BoxSeen seen;
    std::thread looker([&] {
        Display* display = XOpenDisplay(nullptr);
        const auto box = waitForValue([&] { return findViewableByTitle(display, caption); },
                                      std::chrono::milliseconds(kPatience));
        if (box) {
            seen.window = *box;
            seen.geometry = windowGeometry(display, *box).value_or(WindowGeometry{});
            seen.wmClass = wmClass(display, *box);
            seen.icon = netWmIcon(display, *box);
            seen.pid = cardinalProperty(display, *box, atom(display, "_NET_WM_PID"), XA_CARDINAL);
            seen.type =
                cardinalProperty(display, *box, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM);
            seen.protocols = protocolsOf(display, *box);
            seen.machine = clientMachine(display, *box);
            seen.transientFor = transientFor(display, *box);
            sendClientMessage(display, *box, atom(display, "WM_PROTOCOLS"),
                              static_cast<long>(atom(display, "WM_DELETE_WINDOW")), CurrentTime);
        }
        XCloseDisplay(display);
    });
    MessageBoxA(owner, "text", caption, MB_OK);
    looker.join();
    return seen;
}

int centreX(const WindowGeometry& g) {
    return g.x + g.width / 2;
}
int centreY(const WindowGeometry& g) {
    return g.y + g.height / 2;
}

TEST_F(X11DesktopTest, ABoxCarriesTheIconPidAndInstanceOfTheProgramAndIsADialog) {
    const BoxSeen seen = showBoxAndLook(nullptr, "Carried");
    ASSERT_NE(seen.window, Window(None));
    ASSERT_TRUE(seen.wmClass);
    EXPECT_EQ(seen.wmClass->name, program_invocation_short_name);  // as the main window's
    const IconImage& icon = x11ProgramIcon();
    ASSERT_EQ(seen.icon.size(), 2 + icon.argb.size());
    EXPECT_EQ(seen.icon[0], static_cast<unsigned long>(icon.width));
    EXPECT_EQ(seen.icon[1], static_cast<unsigned long>(icon.height));
    ASSERT_EQ(seen.pid.size(), 1u);
    EXPECT_EQ(seen.pid[0], static_cast<unsigned long>(getpid()));
    EXPECT_EQ(seen.machine, hostName());
    ASSERT_EQ(seen.type.size(), 1u);
    EXPECT_EQ(seen.type[0], atom(observer, "_NET_WM_WINDOW_TYPE_DIALOG"));
    // Its own loop does not answer pings, so it must not offer them.
    EXPECT_EQ(
        std::count(seen.protocols.begin(), seen.protocols.end(), atom(observer, "_NET_WM_PING")),
        0);
    EXPECT_EQ(seen.transientFor, Window(None));
    // The one monitor of this Xvfb is the whole screen.
    EXPECT_NEAR(centreX(seen.geometry), 640, 1);
    EXPECT_NEAR(centreY(seen.geometry), 512, 1);
}

TEST_F(X11DesktopTest, AnOwnedBoxIsCentredOnItsOwnerAndTransientForIt) {
    HWND owner = createShownWindow(100, 200, 600, 400);
    const BoxSeen seen = showBoxAndLook(owner, "Owned");
    ASSERT_NE(seen.window, Window(None));
    EXPECT_EQ(seen.transientFor, xOf(owner));
    EXPECT_NEAR(centreX(seen.geometry), 100 + 300, 1);
    EXPECT_NEAR(centreY(seen.geometry), 200 + 200, 1);
}

// Xephyr inside the Xvfb: heads 1920x1080 at (0, 0) and 1080x1200 at
// (1920, 0) on a 3000x1200 screen; RandR lists one monitor, not primary.
class X11TwoMonitorTest : public X11Test {
protected:
    static void startNested(const std::vector<std::string>& extraArgs) {
        startServer("1280x1024x24", {});
        nested = std::make_unique<XephyrServer>(
            server->display(), std::vector<std::string>{"1920x1080", "1080x1200"}, extraArgs);
        ASSERT_FALSE(nested->display().empty()) << "Xephyr did not start";
        setenv("DISPLAY", nested->display().c_str(), 1);
        XCloseDisplay(observer);
        observer = XOpenDisplay(nested->display().c_str());
    }
    static void SetUpTestSuite() { startNested({}); }
    static void TearDownTestSuite() {
        X11Test::TearDownTestSuite();  // the observer first, then both servers
        nested.reset();
    }
    static std::unique_ptr<XephyrServer> nested;
};
std::unique_ptr<XephyrServer> X11TwoMonitorTest::nested;

void expectFirstMonitorMetrics() {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    const BoxRect primary = x11PrimaryMonitor();
    EXPECT_EQ(primary.x, 0);
    EXPECT_EQ(primary.y, 0);
}

TEST_F(X11TwoMonitorTest, ScreenMetricsAreThoseOfTheFirstMonitorNotTheWholeScreen) {
    ASSERT_EQ(DisplayWidth(observer, DefaultScreen(observer)), 3000);
    ASSERT_EQ(DisplayHeight(observer, DefaultScreen(observer)), 1200);
    expectFirstMonitorMetrics();
}

// Without RandR the heads come from Xinerama alone.
class X11XineramaOnlyTest : public X11TwoMonitorTest {
protected:
    static void SetUpTestSuite() { startNested({"-extension", "RANDR"}); }
};

TEST_F(X11XineramaOnlyTest, ScreenMetricsAreThoseOfTheFirstHead) {
    int eventBase = 0;
    int errorBase = 0;
    ASSERT_FALSE(XQueryExtension(observer, "RANDR", &eventBase, &errorBase, &errorBase));
    expectFirstMonitorMetrics();
}

}  // namespace
