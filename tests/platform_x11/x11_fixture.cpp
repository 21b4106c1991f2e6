#include "tests/platform_x11/x11_fixture.h"

#include <X11/extensions/XTest.h>
#include <poll.h>
#include <stdlib.h>

ProcedureScript script;
std::unique_ptr<XvfbServer> X11Test::server;
Display* X11Test::observer = nullptr;

namespace {

// Some tests drive the layer from a second thread with its own connection.
const Status threadsReady = XInitThreads();

}  // namespace

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    script.received.push_back({window, message, wParam, lParam});
    switch (message) {
        case WM_CREATE:
            if (script.onCreate) {
                script.onCreate(window);
            }
            return script.createResult;
        case WM_PAINT:
            if (!script.validateOnPaint) {
                return 0;
            }
            break;
        case WM_SIZE:
            if (script.snapBackOnSize) {
                SetWindowPos(window, nullptr, 0, 0, script.snapWidth, script.snapHeight,
                             SWP_NOMOVE);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int countReceived(UINT message) {
    int count = 0;
    for (const Received& r : script.received) {
        count += r.message == message ? 1 : 0;
    }
    return count;
}

short lParamX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
short lParamY(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

void X11Test::startServer(const std::string& screen, const std::vector<std::string>& args) {
    ASSERT_NE(threadsReady, 0);
    server = std::make_unique<XvfbServer>(screen, args);
    ASSERT_FALSE(server->display().empty()) << "Xvfb did not start";
    setenv("DISPLAY", server->display().c_str(), 1);
    observer = XOpenDisplay(server->display().c_str());
    ASSERT_NE(observer, nullptr);
}

void X11Test::TearDownTestSuite() {
    if (observer != nullptr) {
        XCloseDisplay(observer);
        observer = nullptr;
    }
    server.reset();
}

void X11Test::SetUp() {
    ASSERT_NE(observer, nullptr);
    script = ProcedureScript{};
    const PlatformBackend* const x11Only[] = {&x11Backend};
    ASSERT_EQ(coreConnect(x11Only), "");
}

// Every window and context, then the connection: each test starts afresh.
void X11Test::TearDown() {
    if (x11.display != nullptr) {
        glXMakeCurrent(x11.display, None, nullptr);
        for (void* context : core.contexts) {
            if (context != nullptr) {
                glXDestroyContext(x11.display, static_cast<GLXContext>(context));
            }
        }
        for (auto& record : core.windows) {
            const X11Window* window = x11WindowOf(*record);
            if (window != nullptr && window->xwindow != None) {
                XDestroyWindow(x11.display, window->xwindow);
            }
            if (window != nullptr && window->ownsColormap) {
                XFreeColormap(x11.display, window->colormap);
            }
        }
        XCloseDisplay(x11.display);
    }
    x11 = X11Layer{};
    coreReset();
}

HWND X11Test::createWindow(int x, int y, int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "OpenGL";
    RegisterClassA(&windowClass);  // fails harmlessly the second time
    return CreateWindowExA(0, "OpenGL", " Morvane", WS_OVERLAPPEDWINDOW, x, y, width, height,
                           nullptr, nullptr, nullptr, nullptr);
}

HWND X11Test::createShownWindow(int x, int y, int width, int height) {
    HWND window = createWindow(x, y, width, height);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    settle();
    takeAll();  // the Expose of the first map
    return window;
}

namespace {

const X11Window* nativeOf(HWND window) {
    const WindowRecord* record = coreFindWindow(window);
    return record != nullptr ? x11WindowOf(*record) : nullptr;
}

}  // namespace

Window X11Test::xOf(HWND window) const {
    const X11Window* native = nativeOf(window);
    return native != nullptr ? native->xwindow : None;
}

Window X11Test::pictureOf(HWND window) const {
    const X11Window* native = nativeOf(window);
    return native != nullptr ? native->picture : None;
}

void X11Test::settle() const {
    XSync(observer, False);
    XSync(x11.display, False);
}

namespace {

void waitBriefly(Display* display, std::chrono::steady_clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, 20)));
}

}  // namespace

bool X11Test::pumpUntil(const std::function<bool()>& done, Deadline deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        settle();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        waitBriefly(x11.display, end);
    }
}

bool X11Test::takeUntil(std::vector<MSG>& taken,
                        const std::function<bool(const std::vector<MSG>&)>& done, bool translate,
                        Deadline deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        settle();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            if (msg.message == WM_PAINT) {
                DispatchMessageA(&msg);
            } else if (translate) {
                TranslateMessage(&msg);
            }
        }
        if (done(taken)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        waitBriefly(x11.display, end);
    }
}

std::vector<MSG> X11Test::takeAll(bool translate) {
    std::vector<MSG> taken;
    takeUntil(
        taken, [](const std::vector<MSG>&) { return true; }, translate);
    return taken;
}

void X11Test::fakeMotion(int rootX, int rootY) const {
    XTestFakeMotionEvent(observer, 0, rootX, rootY, CurrentTime);
    XSync(observer, False);
}

void X11Test::fakeButton(unsigned button, bool press) const {
    XTestFakeButtonEvent(observer, button, press ? True : False, CurrentTime);
    XSync(observer, False);
}

void X11Test::fakeKey(KeySym keysym, bool press) const {
    XTestFakeKeyEvent(observer, XKeysymToKeycode(observer, keysym), press ? True : False,
                      CurrentTime);
    XSync(observer, False);
}

void X11Test::tapKey(KeySym keysym) const {
    // Both in one batch: a pause between them could let the key repeat.
    const KeyCode code = XKeysymToKeycode(observer, keysym);
    XTestFakeKeyEvent(observer, code, True, CurrentTime);
    XTestFakeKeyEvent(observer, code, False, CurrentTime);
    XSync(observer, False);
}

std::string textProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format,
                           &count, &after, &data) != Success ||
        data == nullptr) {
        return "<none>";
    }
    std::string text(reinterpret_cast<char*>(data), count);
    XFree(data);
    return actualType == type && format == 8 ? text : "<wrong type>";
}

std::vector<unsigned long> cardinalProperty(Display* display, Window window, Atom property,
                                            Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        if (actualType == type && format == 32) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

bool isTopLevel(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    bool found = false;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            found = found || children[i] == window;
        }
        XFree(children);
    }
    return found;
}
