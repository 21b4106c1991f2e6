// The web backend: one canvas in the page is the window, DOM events queued
// by page.js become the core's messages, the message boxes are HTML
// dialogs, and WebGL through gl/ is the context. Blocking calls (the wait
// for events, the swap, a message box) suspend the program with ASYNCIFY
// and resume it from a promise, so nothing calls into the module while it
// waits. While the first box waits, the driver's JavaScript makes the
// window's context and draws with it once, in steps between the box's
// events (the program has no threads; a worker only starts the browser's
// GPU side); the window's canvas then takes it.
//
// Depends on: Emscripten with ASYNCIFY, page.js (the event queue and the
// dialog), gl/webgl_driver.h.
// Cannot: more than one window; moving or resizing the canvas after it is
// made; palettes (WebGL is true colour).
#include "platform/web/web_backend.h"

#include <emscripten.h>

#include <cmath>

#include "platform/web/gl/webgl_driver.h"
#include "platform/web/web_keys.h"

namespace {

constexpr const char* kCanvasId = "morvane-window";
constexpr int kKeyTextSize = 32;

enum EventKind { kNone = 0, kPointerDown, kPointerMove, kPointerUp, kKeyDown, kOwesPicture };

struct NativeCanvas : NativeWindow {
    NativeCanvas() : NativeWindow(webBackend) {}
    int context = 0;
};

struct WebState {
    bool warmUpStarted = false;
};

WebState web;

// clang-format off
EM_JS(int, pageReady, (), { return typeof document !== "undefined" && !!Module.morvanePage; });

EM_JS(int, pageScreenMetric, (int height), {
    const side = height ? window.innerHeight : window.innerWidth;
    return Math.round(side * window.devicePixelRatio);
});

EM_JS(void, pageCreateCanvas, (const char* id, int side, const char* title), {
    Module.morvanePage.createCanvas(UTF8ToString(id), side, UTF8ToString(title));
});

EM_JS(void, pageShowCanvas, (int show), { Module.morvanePage.showCanvas(!!show); });
EM_JS(void, pageRemoveCanvas, (), { Module.morvanePage.removeCanvas(); });
EM_JS(int, pageCapturePointer, (), { return Module.morvanePage.capturePointer() ? 1 : 0; });
EM_JS(void, pageReleasePointer, (), { Module.morvanePage.releasePointer(); });
EM_JS(int, pageHidden, (), { return document.hidden ? 1 : 0; });

// Writes [kind, x, y, buttons, time] and the key's text; 0 when none waits.
EM_JS(int, pageNextEvent, (int* numbers, char* keyText, int keyTextSize), {
    const event = Module.morvanePage.events.shift();
    if (!event) return 0;
    HEAP32.set([event.kind, event.x | 0, event.y | 0, event.buttons | 0, event.time | 0],
               numbers >> 2);
    stringToUTF8(event.key || "", keyText, keyTextSize);
    return 1;
});

EM_ASYNC_JS(void, pageWaitForEvent, (), { await Module.morvanePage.nextEvent(); });
EM_ASYNC_JS(void, pageNextFrame, (), { await Module.morvanePage.nextFrame(); });
EM_ASYNC_JS(void, pageMessageBox, (const char* text, const char* caption), {
    await Module.morvanePage.messageBox(UTF8ToString(text), UTF8ToString(caption));
});
// clang-format on

std::string webConnect() {
    return pageReady() ? "" : "no page to draw in";
}

WindowRecord* theWindow() {
    for (auto& record : core.windows) {
        if (record->alive && record->native != nullptr) {
            return record.get();
        }
    }
    return nullptr;
}

bool webCreateWindow(WindowRecord& record, int) {
    if (record.native == nullptr) {
        record.native = std::make_unique<NativeCanvas>();
        pageCreateCanvas(kCanvasId, record.width, record.title.c_str());
    }
    return true;
}

void webDestroyWindow(WindowRecord& record) {
    record.native.reset();
    pageRemoveCanvas();
}

void webShowWindow(WindowRecord&, bool show) {
    pageShowCanvas(show);
}

// The canvas stays where the page puts it, at the size it was made.
void webMoveWindow(WindowRecord&) {}
void webResizeWindow(WindowRecord&) {}

bool webGrabPointer(WindowRecord&) {
    return pageCapturePointer() != 0;
}

void webReleasePointer() {
    pageReleasePointer();
}

bool webIconic(const WindowRecord&) {
    return pageHidden() != 0;
}

int webScreenMetric(int index) {
    return pageScreenMetric(index == SM_CYSCREEN ? 1 : 0);
}

// The side of the window the program will ask for: 0.8 of the page's
// height. Guessed for the warm-up's canvas; a window of another size only
// resizes it when it takes it.
int expectedWindowSide() {
    return static_cast<int>(webScreenMetric(SM_CYSCREEN) * 0.8);
}

// The first box, shown before any window, is when the context gets ready:
// the program waits there, and the warm-up is JavaScript that runs while
// it waits (the program itself cannot run until the box closes).
int webMessageBox(WindowRecord*, const char* text, const char* caption, UINT) {
    if (!web.warmUpStarted && theWindow() == nullptr) {
        web.warmUpStarted = true;
        webglStartWarmUp(expectedWindowSide());
    }
    pageMessageBox(text, caption);
    return IDOK;
}

void postPointer(WindowRecord& record, UINT message, const int* numbers) {
    const WPARAM buttons = (numbers[3] & 1) != 0 ? kLeftButtonDown : 0;
    corePost(record, message, buttons, corePointLParam(numbers[1], numbers[2]),
             static_cast<DWORD>(numbers[4]));
}

void postKey(WindowRecord& record, const char* keyText, DWORD time) {
    const WebKey key = webKeyFromDom(keyText);
    if (key.virtualKey == 0) {
        return;
    }
    // The character rides along for TranslateMessage; -1 is none.
    corePost(record, WM_KEYDOWN, key.virtualKey, 1, time, {}, static_cast<DWORD>(key.character));
}

void webReadEvents() {
    int numbers[5];
    char keyText[kKeyTextSize];
    while (pageNextEvent(numbers, keyText, kKeyTextSize) != 0) {
        WindowRecord* record = theWindow();
        if (record == nullptr) {
            continue;  // no window yet, or none any more: nobody hears it
        }
        switch (numbers[0]) {
            case kPointerDown:
                postPointer(*record, WM_LBUTTONDOWN, numbers);
                break;
            case kPointerMove:
                postPointer(*record, WM_MOUSEMOVE, numbers);
                break;
            case kPointerUp:
                postPointer(*record, WM_LBUTTONUP, numbers);
                break;
            case kKeyDown:
                postKey(*record, keyText, static_cast<DWORD>(numbers[4]));
                break;
            case kOwesPicture:
                record->invalid = true;  // a tab shown again, a context restored
                break;
            default:
                break;
        }
    }
}

bool webWaitForEvents() {
    pageWaitForEvent();
    return true;
}

int webKeyCharacter(const MSG& keyDown) {
    return static_cast<int>(keyDown.lPrivate);
}

// One format: 8 bits a channel without alpha, double-buffered, with depth.
void describeTheFormat(PIXELFORMATDESCRIPTOR* format) {
    *format = PIXELFORMATDESCRIPTOR{};
    format->nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format->nVersion = 1;
    format->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format->iPixelType = PFD_TYPE_RGBA;
    format->cColorBits = 24;
    format->cRedBits = 8;
    format->cRedShift = 16;
    format->cGreenBits = 8;
    format->cGreenShift = 8;
    format->cBlueBits = 8;
    format->cDepthBits = 24;
    format->iLayerType = PFD_MAIN_PLANE;
}

int webChoosePixelFormat(const PIXELFORMATDESCRIPTOR&) {
    return webglAvailable(expectedWindowSide()) ? 1 : 0;
}

int webPixelFormatCount() {
    return 1;
}

bool webDescribePixelFormat(int format, PIXELFORMATDESCRIPTOR* descriptor) {
    if (format != 1) {
        return false;
    }
    describeTheFormat(descriptor);
    return true;
}

UINT webRealizePalette(WindowRecord&, const std::vector<PALETTEENTRY>&) {
    return 0;
}

HGLRC webCreateContext(WindowRecord& record) {
    auto* canvas = coreNativeOf<NativeCanvas>(record, webBackend);
    if (canvas == nullptr) {
        return nullptr;
    }
    canvas->context = webglCreateContext(kCanvasId);
    return canvas->context != 0
               ? reinterpret_cast<HGLRC>(static_cast<std::uintptr_t>(canvas->context))
               : nullptr;
}

// The newest context is the one drawn into: there is only one canvas.
bool webMakeCurrent(WindowRecord*, HGLRC) {
    return true;
}

bool webDeleteContext(HGLRC context) {
    webglDeleteContext(static_cast<int>(reinterpret_cast<std::uintptr_t>(context)));
    return true;
}

// The browser shows what was drawn when the script yields; waiting for the
// next animation frame paces the loop to the display and stops it while
// the tab is hidden.
bool webSwapBuffers(WindowRecord&) {
    pageNextFrame();
    return true;
}

}  // namespace

const PlatformBackend webBackend = {
    .name = "web",
    .connect = webConnect,
    .createWindow = webCreateWindow,
    .destroyWindow = webDestroyWindow,
    .showWindow = webShowWindow,
    .moveWindow = webMoveWindow,
    .resizeWindow = webResizeWindow,
    .grabPointer = webGrabPointer,
    .releasePointer = webReleasePointer,
    .iconic = webIconic,
    .screenMetric = webScreenMetric,
    .messageBox = webMessageBox,
    .readEvents = webReadEvents,
    .waitForEvents = webWaitForEvents,
    .keyCharacter = webKeyCharacter,
    .choosePixelFormat = webChoosePixelFormat,
    .pixelFormatCount = webPixelFormatCount,
    .describePixelFormat = webDescribePixelFormat,
    .realizePalette = webRealizePalette,
    .createContext = webCreateContext,
    .makeCurrent = webMakeCurrent,
    .deleteContext = webDeleteContext,
    .swapBuffers = webSwapBuffers,
    .warmContext = nullptr,  // no threads: the warm-up is the driver's JavaScript
};
