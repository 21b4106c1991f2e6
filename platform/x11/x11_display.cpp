// The X connection: opening it, its atoms, the error handlers, and the
// backend's table. It closes with the process.
//
// Depends on: Xlib, $DISPLAY, a helper thread for opening the connection;
// Xlib's locking, for the warm-up's helper that uses it during the first box.
// Cannot: survive a lost connection; Xlib gives no way back, so the process
// reports it in one line and ends with status 1. A display that accepts the
// connection but never answers is given up after a few seconds, and the
// helper stays blocked in XOpenDisplay until the process ends.
#include "platform/x11/x11_layer.h"

#include <X11/cursorfont.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

X11Layer x11;
X11WarmErrors x11WarmErrors;

// The parts in x11_window.cpp, x11_messages.cpp, x11_glx.cpp and
// x11_message_box.cpp.
bool x11CreateWindowForFormat(WindowRecord& record, int format);
void x11DestroyWindow(WindowRecord& record);
void x11ShowWindow(WindowRecord& record, bool show);
void x11MoveWindow(WindowRecord& record);
void x11ResizeWindow(WindowRecord& record);
bool x11GrabPointer(WindowRecord& record);
void x11ReleasePointer();
bool x11Iconic(const WindowRecord& record);
int x11ScreenMetric(int index);
int x11MessageBox(WindowRecord* owner, const char* text, const char* caption, UINT type);
void x11ReadEvents();
bool x11WaitForEvents();
int x11KeyCharacter(const MSG& keyDown);
int x11ChoosePixelFormat(const PIXELFORMATDESCRIPTOR& request);
int x11PixelFormatCount();
bool x11DescribePixelFormat(int format, PIXELFORMATDESCRIPTOR* descriptor);
UINT x11RealizePalette(WindowRecord& record, const std::vector<PALETTEENTRY>& entries);
HGLRC x11CreateContext(WindowRecord& record);
bool x11MakeCurrent(WindowRecord* record, HGLRC context);
bool x11DeleteContext(HGLRC context);
bool x11SwapBuffers(WindowRecord& record);

const PlatformBackend x11Backend = {
    .name = "x11",
    .connect = x11OpenDisplay,
    .createWindow = x11CreateWindowForFormat,
    .destroyWindow = x11DestroyWindow,
    .showWindow = x11ShowWindow,
    .moveWindow = x11MoveWindow,
    .resizeWindow = x11ResizeWindow,
    .grabPointer = x11GrabPointer,
    .releasePointer = x11ReleasePointer,
    .iconic = x11Iconic,
    .screenMetric = x11ScreenMetric,
    .messageBox = x11MessageBox,
    .readEvents = x11ReadEvents,
    .waitForEvents = x11WaitForEvents,
    .keyCharacter = x11KeyCharacter,
    .choosePixelFormat = x11ChoosePixelFormat,
    .pixelFormatCount = x11PixelFormatCount,
    .describePixelFormat = x11DescribePixelFormat,
    .realizePalette = x11RealizePalette,
    .createContext = x11CreateContext,
    .makeCurrent = x11MakeCurrent,
    .deleteContext = x11DeleteContext,
    .swapBuffers = x11SwapBuffers,
    .warmContext = x11WarmContext,
};

namespace {

// Reports the first error in one line; later ones are only counted, so a
// faulty loop cannot flood stderr.
int onXError(Display* display, XErrorEvent* error) {
    if (x11WarmErrors.counting) {
        ++x11WarmErrors.count;  // the window's own calls will meet and report it
        return 0;
    }
    ++x11.errorCount;
    if (!x11.errorReported && !x11.errorsExplained) {
        x11.errorReported = true;
        char text[160] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        std::fprintf(stderr, "morvane: X error: %s (request %d.%d); further X errors not shown\n",
                     text, error->request_code, error->minor_code);
    }
    return 0;
}

int onXIoError(Display*) {
    std::fprintf(stderr, "morvane: lost the connection to the X display\n");
    std::fflush(nullptr);
    _exit(1);  // the driver's exit handlers would talk to the dead connection
}

// One round trip for all of them.
void internAtoms() {
    char* names[] = {
        const_cast<char*>("WM_PROTOCOLS"),        const_cast<char*>("WM_DELETE_WINDOW"),
        const_cast<char*>("_NET_WM_NAME"),        const_cast<char*>("_NET_WM_ICON"),
        const_cast<char*>("_NET_WM_WINDOW_TYPE"), const_cast<char*>("_NET_WM_WINDOW_TYPE_DIALOG"),
        const_cast<char*>("UTF8_STRING"),         const_cast<char*>("_NET_WM_PID"),
        const_cast<char*>("_NET_WM_PING"),        const_cast<char*>("WM_STATE")};
    Atom atoms[10] = {};
    XInternAtoms(x11.display, names, 10, False, atoms);
    x11.wmProtocols = atoms[0];
    x11.wmDeleteWindow = atoms[1];
    x11.netWmName = atoms[2];
    x11.netWmIcon = atoms[3];
    x11.netWmWindowType = atoms[4];
    x11.netWmWindowTypeDialog = atoms[5];
    x11.utf8String = atoms[6];
    x11.netWmPid = atoms[7];
    x11.netWmPing = atoms[8];
    x11.wmState = atoms[9];
}

// XOpenDisplay waits for the server's reply without a time limit, so it runs
// on a helper thread that the caller stops waiting for. Only one thread ever
// uses the display: the helper hands it over under the lock, or closes it if
// nobody is waiting any more.
struct PendingOpen {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    Display* display = nullptr;
};

constexpr std::chrono::seconds kDisplayPatience{5};

void openOnHelper(const std::shared_ptr<PendingOpen>& pending, const std::string& name) {
    Display* display = XOpenDisplay(name.c_str());
    const std::lock_guard<std::mutex> lock(pending->mutex);
    if (pending->abandoned) {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
        return;
    }
    pending->display = display;
    pending->done = true;
    pending->finished.notify_one();
}

// False when the server did not answer in time; *display is null when it
// answered with a refusal.
bool openWithPatience(const std::string& name, Display** display) {
    auto pending = std::make_shared<PendingOpen>();
    try {
        std::thread(openOnHelper, pending, name).detach();
    } catch (const std::system_error&) {
        *display = XOpenDisplay(name.c_str());  // no thread to spare: wait as Xlib does
        return true;
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (!pending->finished.wait_for(lock, kDisplayPatience, [&] { return pending->done; })) {
        pending->abandoned = true;
        return false;
    }
    *display = pending->display;
    return true;
}

}  // namespace

std::string x11OpenDisplay() {
    if (x11.display != nullptr) {
        return {};
    }
    XInitThreads();  // before any other Xlib call: the warm-up shares the display
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return "DISPLAY is not set";
    }
    if (!openWithPatience(name, &x11.display)) {
        return std::string("the X display ") + name + " does not answer";
    }
    if (x11.display == nullptr) {
        return std::string("cannot open display \"") + name + "\"";
    }
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXIoError);
    x11.screen = DefaultScreen(x11.display);
    internAtoms();
    return {};
}

Cursor x11ArrowCursor() {
    if (x11.arrowCursor == None) {
        x11.arrowCursor = XCreateFontCursor(x11.display, XC_left_ptr);
    }
    return x11.arrowCursor;
}

Display* x11Display() {
    if (x11.display == nullptr) {
        x11OpenDisplay();
    }
    return x11.display;
}

unsigned long x11SyncErrors() {
    const unsigned long before = x11.errorCount;
    XSync(x11.display, False);
    return x11.errorCount - before;
}
