// The portable core, shared by every backend that is not Windows itself:
// window classes and records, handles, the message queue and its ordering
// rules, paint and quit, default processing, capture, palettes, and the
// Win32 entry points of platform/winapi.h (their code is in core/). What
// differs (windows on the screen, events, dialogs, pixel formats, GL) is a
// backend (x11/, wayland/): one table per window system, one per run,
// chosen by coreConnect from the list that the entry file gives it.
//
// Depends on: nothing but the C++ library; the backends bring the rest.
// Cannot: threads, but for the warm-up's one helper (core_warm.cpp); every
// other call comes from the thread that made the windows.
#pragma once

// First: it defines APIENTRY, which the GL headers only define when absent.
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

struct WindowClassRecord {
    std::string name;
    WNDPROC procedure = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
};

struct PlatformBackend;

// What a backend keeps for one window on its screen. It names the backend
// that made it, so that a backend finds its own part without a cast that
// could fail silently.
struct NativeWindow {
    explicit NativeWindow(const PlatformBackend& owner) : backend(&owner) {}
    virtual ~NativeWindow() = default;
    const PlatformBackend* const backend;
};

struct WindowRecord {
    std::uintptr_t id = 0;
    WNDPROC procedure = nullptr;
    std::string className;
    std::string title;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    int reportedWidth = 1;  // size of the last WM_SIZE, or the created size
    int reportedHeight = 1;
    int pixelFormat = 0;
    HPALETTE selectedPalette = nullptr;
    bool alive = true;
    bool destroying = false;
    bool visible = false;
    bool invalid = false;  // owes a WM_PAINT
    std::unique_ptr<NativeWindow> native;
};

// One window system. Sizes are the record's; every call may assume the
// backend is connected.
struct PlatformBackend {
    const char* name;
    // Opens the connection: "" on success, else the reason, in one line.
    std::string (*connect)();
    // Makes (or re-makes) the native window for a pixel format, 0 = none yet.
    bool (*createWindow)(WindowRecord& record, int pixelFormat);
    void (*destroyWindow)(WindowRecord& record);
    void (*showWindow)(WindowRecord& record, bool show);
    void (*moveWindow)(WindowRecord& record);
    void (*resizeWindow)(WindowRecord& record);
    bool (*grabPointer)(WindowRecord& record);
    void (*releasePointer)();
    bool (*iconic)(const WindowRecord& record);
    int (*screenMetric)(int index);
    int (*messageBox)(WindowRecord* owner, const char* text, const char* caption, UINT type);
    // Everything the connection holds, into the queue, without blocking.
    void (*readEvents)();
    // Sleeps until the connection has something; false when it failed.
    bool (*waitForEvents)();
    // The character a queued WM_KEYDOWN makes, or -1.
    int (*keyCharacter)(const MSG& keyDown);
    int (*choosePixelFormat)(const PIXELFORMATDESCRIPTOR& request);
    int (*pixelFormatCount)();
    bool (*describePixelFormat)(int format, PIXELFORMATDESCRIPTOR* descriptor);
    UINT (*realizePalette)(WindowRecord& record, const std::vector<PALETTEENTRY>& entries);
    HGLRC (*createContext)(WindowRecord& record);
    bool (*makeCurrent)(WindowRecord* record, HGLRC context);  // null: none current
    bool (*deleteContext)(HGLRC context);
    bool (*swapBuffers)(WindowRecord& record);
    // Optional. On the warm-up's helper thread, with GL and GLX or EGL calls
    // only: a context for the format, made current on a drawable nobody sees,
    // draw run once, finished, released and the drawable freed. The
    // backend's context as coreAddContext takes it, or null; reports nothing.
    void* (*warmContext)(int format, void (*draw)());
};

// Getting the window's context ready while the first message box waits.
struct WarmUp {
    PIXELFORMATDESCRIPTOR request{};
    void (*draw)() = nullptr;  // null: no warm-up
    bool started = false;
    bool finished = false;  // the helper ran and was joined
    std::thread helper;
    // The helper's results, read only once it is joined.
    int format = 0;
    void* context = nullptr;  // the backend's, until a window takes it
};

struct CoreState {
    const PlatformBackend* backend = nullptr;
    std::vector<WindowClassRecord> classes;
    // Records stay allocated after destruction so that a procedure running
    // while its window is destroyed never touches freed memory.
    std::vector<std::unique_ptr<WindowRecord>> windows;  // index = id - 1
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    HWND capture = nullptr;
    std::vector<std::unique_ptr<std::vector<PALETTEENTRY>>> palettes;
    std::vector<void*> contexts;  // the backend's GL contexts; null once deleted
    WarmUp warmUp;
};

extern CoreState core;

// Tries the candidates in order; the first that connects serves the run.
// "" on success, else the last candidate's reason, in one line.
std::string coreConnect(std::span<const PlatformBackend* const> candidates);
// The backend of this run; null before one connected.
const PlatformBackend* coreBackend();
// Forgets every window, class and message (the backend has closed).
void coreReset();

// Handles.
WindowRecord* coreFindWindow(HWND window);  // alive windows only
WindowRecord* coreWindowFromDc(HDC dc);
HWND coreHandle(const WindowRecord& record);
HDC coreDcHandle(const WindowRecord& record);

// A window's native part, as the given backend made it; null when it has
// none yet, or when another backend made it.
template <class Native>
Native* coreNativeOf(const WindowRecord& record, const PlatformBackend& backend) {
    NativeWindow* native = record.native.get();
    return native != nullptr && native->backend == &backend ? static_cast<Native*>(native)
                                                            : nullptr;
}

// GL contexts: the backend's own, behind handles that are never reused.
HGLRC coreAddContext(void* context);
void* coreContextOf(HGLRC handle);  // null when unknown or deleted
void coreForgetContext(HGLRC handle);

// The warm-up. The entry registers the program's pixel format request and
// a draw of its first frame (without its swap or any change the user could
// see). A backend starts it when its first message box is drawn and idle;
// MessageBoxA joins the helper before it returns, so no GL call runs on two
// threads and the helper never sees the program's state change. The
// window's ChoosePixelFormat keeps what the helper found for the same
// request, and wglCreateContext takes its context for the same format.
void coreSetWarmUp(const PIXELFORMATDESCRIPTOR& request, void (*draw)());
void coreStartWarmUp();
// A warm-up is registered, the backend can do it, and it has not started:
// what a backend asks before it looks for a quiet moment to start it.
bool coreWarmUpWaiting();
void coreFinishWarmUp();  // joins the helper, if it runs
// Ends the warm-up: a context nobody took is deleted. Before the backend closes.
void coreEndWarmUp();
// What the helper chose for this request (0: nothing fits), or -1 when it
// did not run for it.
int coreWarmFormat(const PIXELFORMATDESCRIPTOR& request);
// The ready context when it was made for this format, else null (a context
// made for another format is deleted).
HGLRC coreTakeWarmContext(int format);

// The stock resources LoadIconA and LoadCursorA hand out: the program's
// icon (resource 101) and the arrow; backends draw them from their own copy.
HICON coreProgramIcon();
HCURSOR coreArrowCursor();

// Calls the window procedure now, as SendMessage does.
LRESULT coreSend(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam);
void corePost(const WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
              DWORD time = 0, POINT point = {}, DWORD privateData = 0);
// WM_SIZE when the size differs from the last one reported; true then.
bool coreReportSize(WindowRecord& record, int width, int height);
// The window is gone outside the program's control; it hears WM_DESTROY.
void coreWindowDestroyedOutside(WindowRecord& record);

// Touch as Win32 and X servers give it to programs that know only the
// mouse: the first finger down is the left button, others are ignored
// while it is down. A cancel lifts it where it was last.
enum class TouchPhase { down, motion, up, cancel };
struct TouchAsMouse {
    UINT message = 0;  // 0: nothing to send
    WPARAM keys = 0;
    POINT point{};
};
TouchAsMouse coreTouchAsMouse(TouchPhase phase, int finger, POINT point);

// Mouse and keyboard encoding.
constexpr WPARAM kLeftButtonDown = 0x0001;  // MK_LBUTTON
LPARAM corePointLParam(int x, int y);
WPARAM coreVirtualKey(std::uint32_t keysym);  // X and xkbcommon share keysym values

// A key as the backends read it: X and xkbcommon share keysyms and key
// codes (8 to 255), and the code serves as the scan code.
struct KeyInput {
    std::uint32_t keysym = 0;
    std::uint32_t keycode = 0;
    bool pressed = true;
    bool repeated = false;  // a held key's repeat, as Win32 sends it
    DWORD time = 0;
    POINT point{};
    DWORD privateData = 0;  // for the backend's keyCharacter
};
// Queues WM_KEYDOWN or WM_KEYUP with Win32's lParam.
void corePostKey(const WindowRecord& record, const KeyInput& key);
