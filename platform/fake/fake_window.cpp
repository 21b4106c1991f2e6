// The fake's window, message queue and user-interface services. Depends on
// fake_controls.cpp for the state record. It cannot show anything: there is
// one window, messages reach it only through the queue or synchronously as
// Windows sends them, and MessageBoxA answers OK at once.
#include <algorithm>
#include <cstdio>

#include "platform/fake/fake_platform.h"

namespace {

std::string textOf(LPCSTR text) {
    return text != nullptr ? text : "(null)";
}

MSG messageFor(HWND window, UINT message, WPARAM wParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    return msg;
}

// Ends a loop that never waits or never drains, so the test fails instead of
// hanging.
bool loopHasRunAway() {
    if (++fake.queueLooks <= fake.queueLookLimit) {
        return false;
    }
    if (fake.queueLooks == fake.queueLookLimit + 1) {
        fakeLog("runawayLoop");
    }
    return true;
}

// Windows' order: posted and input messages, then the quit message once the
// queue is empty, then a paint for a window that needs one (which stays until
// the window is validated).
bool nextMessage(MSG* msg, bool remove) {
    if (loopHasRunAway()) {
        *msg = messageFor(nullptr, WM_QUIT, static_cast<WPARAM>(kRunawayExitCode));
        return true;
    }
    if (!fake.queue.empty()) {
        *msg = fake.queue.front();
        if (remove) {
            fake.queue.pop_front();
        }
        return true;
    }
    if (fake.quitPosted) {
        *msg = messageFor(nullptr, WM_QUIT, static_cast<WPARAM>(fake.quitCode));
        fake.quitPosted = !remove;
        return true;
    }
    if (fake.windowExists && fake.needsPaint) {
        *msg = messageFor(kFakeWindow, WM_PAINT, 0);
        return true;
    }
    return false;
}

void forgetMessagesOfWindow() {
    std::erase_if(fake.queue, [](const MSG& msg) { return msg.hwnd == kFakeWindow; });
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    fakeRecord("RegisterClassA",
               {fakeArg(windowClass->style), fakeArg(windowClass->lpfnWndProc),
                fakeArg(windowClass->cbClsExtra), fakeArg(windowClass->cbWndExtra),
                fakeArg(windowClass->hInstance), fakeArg(windowClass->hIcon),
                fakeArg(windowClass->hCursor), fakeArg(windowClass->hbrBackground)},
               {textOf(windowClass->lpszClassName), textOf(windowClass->lpszMenuName)});
    fake.windowClass = *windowClass;
    fake.windowClassName = textOf(windowClass->lpszClassName);
    fake.windowClass.lpszClassName = fake.windowClassName.c_str();
    fake.classRegistered = true;
    return 1;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    fakeLog("LoadIconA", instance, name);
    return kFakeIcon;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    fakeLog("LoadCursorA", instance, name);
    return kFakeCursor;
}

// Only the registered class makes a window, and only one window per run.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    fakeRecord("CreateWindowExA",
               {fakeArg(exStyle), fakeArg(style), x, y, width, height, fakeArg(parent),
                fakeArg(menu), fakeArg(instance), fakeArg(param)},
               {textOf(className), textOf(windowName)});
    const bool known = fake.classRegistered && textOf(className) == fake.windowClassName;
    if (!known || fake.windowExists || fake.windowDestroyed) {
        return nullptr;
    }
    fake.windowExists = true;
    fake.windowWidth = width;
    fake.windowHeight = height;
    if (fakeSend(WM_CREATE) == -1) {
        DestroyWindow(kFakeWindow);
        return nullptr;
    }
    return kFakeWindow;
}

BOOL ShowWindow(HWND window, int showCommand) {
    fakeLog("ShowWindow", window, showCommand);
    const bool wasVisible = fake.windowVisible;
    if (window == kFakeWindow && fake.windowExists) {
        fake.windowVisible = showCommand != SW_HIDE;
        fake.needsPaint = fake.needsPaint || fake.windowVisible;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    fakeLog("UpdateWindow", window);
    if (window != kFakeWindow || !fake.windowExists) {
        return FALSE;
    }
    if (fake.needsPaint) {
        fakeSend(WM_PAINT);
    }
    return TRUE;
}

BOOL IsIconic(HWND window) {
    fakeLog("IsIconic", window);
    return window == kFakeWindow && fake.windowExists && fake.windowIconic ? TRUE : FALSE;
}

// A size message follows only a real change of size, as on Windows; that is
// what lets a snap-back end.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    fakeLog("SetWindowPos", window, insertAfter, x, y, cx, cy, flags);
    if (window != kFakeWindow || !fake.windowExists) {
        return FALSE;
    }
    const bool resized =
        (flags & SWP_NOSIZE) == 0 && (cx != fake.windowWidth || cy != fake.windowHeight);
    if (resized) {
        fake.windowWidth = cx;
        fake.windowHeight = cy;
        fakeSend(WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy));
    }
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    fakeLog("DestroyWindow", window);
    if (window != kFakeWindow || !fake.windowExists) {
        return FALSE;
    }
    fakeSend(WM_DESTROY);
    fake.windowExists = false;
    fake.windowDestroyed = true;
    fake.windowVisible = false;
    fake.needsPaint = false;
    fake.capture = nullptr;
    forgetMessagesOfWindow();
    return TRUE;
}

int GetSystemMetrics(int index) {
    fakeLog("GetSystemMetrics", index);
    switch (index) {
        case SM_CXSCREEN:
            return fake.screenWidth;
        case SM_CYSCREEN:
            return fake.screenHeight;
        default:
            return 0;
    }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    fakeRecord("MessageBoxA", {fakeArg(owner), fakeArg(type)}, {textOf(text), textOf(caption)});
    if (fake.echoMessageBoxes) {
        std::fprintf(stderr, "MessageBoxA owner=%p type=%u caption=[%s] text=[%s]\n",
                     static_cast<void*>(owner), type, textOf(caption).c_str(),
                     textOf(text).c_str());
    }
    return IDOK;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    fakeLog("PeekMessageA", window, filterMin, filterMax, removeMsg);
    return nextMessage(msg, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Never blocks: when nothing is left, the test's hook may post more; if it
// does not, the wait fails with -1 so that the loop ends.
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    fakeLog("GetMessageA", window, filterMin, filterMax);
    bool found = nextMessage(msg, true);
    if (!found && fake.whenQueueRunsDry) {
        fake.whenQueueRunsDry();
        found = nextMessage(msg, true);
    }
    if (!found) {
        fakeLog("queueRanDry");
        return -1;
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

// The character comes next, ahead of anything queued after the key.
BOOL TranslateMessage(const MSG* msg) {
    fakeLog("TranslateMessage", msg->message, msg->wParam);
    if (msg->message != WM_KEYDOWN || msg->lPrivate == 0) {
        return FALSE;
    }
    MSG typed = *msg;
    typed.message = WM_CHAR;
    typed.wParam = msg->lPrivate;
    typed.lPrivate = 0;
    fake.queue.push_front(typed);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    fakeLog("DispatchMessageA", msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->hwnd != kFakeWindow) {
        return 0;
    }
    return fakeSend(msg->message, msg->wParam, msg->lParam);
}

// Closing destroys the window and painting validates it, as on Windows.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    fakeLog("DefWindowProcA", window, message, wParam, lParam);
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    } else if (message == WM_PAINT) {
        fake.needsPaint = false;
    }
    return 0;
}

void PostQuitMessage(int exitCode) {
    fakeLog("PostQuitMessage", exitCode);
    fake.quitPosted = true;
    fake.quitCode = exitCode;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    fakeLog("BeginPaint", window);
    *paint = PAINTSTRUCT{};
    paint->hdc = kFakeDeviceContext;
    paint->rcPaint = RECT{0, 0, fake.windowWidth, fake.windowHeight};
    fake.needsPaint = false;
    return kFakeDeviceContext;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    fakeLog("EndPaint", window);
    return TRUE;
}

HWND SetCapture(HWND window) {
    fakeLog("SetCapture", window);
    const HWND previous = fake.capture;
    fake.capture = window;
    return previous;
}

BOOL ReleaseCapture() {
    fakeLog("ReleaseCapture");
    fake.capture = nullptr;
    return TRUE;
}
