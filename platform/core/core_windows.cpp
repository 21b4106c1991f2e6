// Window classes and windows: creation and destruction with their
// synchronous messages, showing, sizing, painting state, mouse capture,
// device contexts, screen metrics and message boxes, over the backend.
//
// Depends on: linux_core.h and the backend of the run.
// Cannot: child windows (every window is top-level), menus, or styles
// beyond a fixed-size framed window; sizes are client sizes.
#include <strings.h>

#include <algorithm>

#include "platform/core.h"

namespace {

const WindowClassRecord* findClass(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (const WindowClassRecord& c : core.classes) {
        if (strcasecmp(c.name.c_str(), name) == 0) {  // class names ignore case
            return &c;
        }
    }
    return nullptr;
}

void releaseCaptureOf(HWND window) {
    if (core.capture == window) {
        core.backend->releasePointer();
        core.capture = nullptr;
    }
}

void dropQueuedMessages(HWND window) {
    std::erase_if(core.queue, [window](const MSG& m) { return m.hwnd == window; });
}

WindowRecord& newRecord(const WindowClassRecord& windowClass) {
    auto owned = std::make_unique<WindowRecord>();
    WindowRecord& record = *owned;
    core.windows.push_back(std::move(owned));
    record.id = core.windows.size();
    record.procedure = windowClass.procedure;
    record.className = windowClass.name;
    record.icon = windowClass.icon;
    record.cursor = windowClass.cursor;
    return record;
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->lpszClassName == nullptr || findClass(windowClass->lpszClassName)) {
        return 0;
    }
    WindowClassRecord record;
    record.name = windowClass->lpszClassName;
    record.procedure = windowClass->lpfnWndProc;
    record.icon = windowClass->hIcon;
    record.cursor = windowClass->hCursor;
    core.classes.push_back(record);
    return static_cast<ATOM>(0xC000 + core.classes.size());
}

// Neither needs a resource: any non-null value names it, here its number.
HICON coreProgramIcon() {
    return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(101));
}

HCURSOR coreArrowCursor() {
    return reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(32512));
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    return name == MAKEINTRESOURCEA(101) ? coreProgramIcon() : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    return name == IDC_ARROW ? coreArrowCursor() : nullptr;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const WindowClassRecord* windowClass = findClass(className);
    if (windowClass == nullptr || coreBackend() == nullptr) {
        return nullptr;
    }
    WindowRecord& record = newRecord(*windowClass);
    record.title = windowName != nullptr ? windowName : "";
    record.x = x;
    record.y = y;
    record.width = record.reportedWidth = std::max(width, 1);
    record.height = record.reportedHeight = std::max(height, 1);

    // The creation handler may set a pixel format, which makes the native
    // window it needs; otherwise it is made afterwards.
    if (coreSend(record, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(coreHandle(record));
        return nullptr;
    }
    if (!record.alive) {
        return nullptr;
    }
    if (record.native == nullptr && !core.backend->createWindow(record, 0)) {
        DestroyWindow(coreHandle(record));
        return nullptr;
    }
    return coreHandle(record);
}

BOOL ShowWindow(HWND window, int showCommand) {
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = record->visible ? TRUE : FALSE;
    const bool show = showCommand != SW_HIDE;
    if (show != record->visible && record->native != nullptr) {
        core.backend->showWindow(*record, show);
    }
    if (show && !record->visible) {
        record->invalid = true;  // a newly shown window owes its first paint
    }
    record->visible = show;
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    if (record->visible && record->invalid) {
        coreSend(*record, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    if ((flags & SWP_NOMOVE) == 0) {
        record->x = x;
        record->y = y;
        if (record->native != nullptr) {
            core.backend->moveWindow(*record);
        }
    }
    if ((flags & SWP_NOSIZE) == 0) {
        record->width = std::max(cx, 1);
        record->height = std::max(cy, 1);
        if (record->native != nullptr) {
            core.backend->resizeWindow(*record);
        }
    }
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr || record->destroying) {
        return FALSE;
    }
    record->destroying = true;
    releaseCaptureOf(window);
    if (record->native != nullptr && record->visible) {
        core.backend->showWindow(*record, false);
    }
    coreSend(*record, WM_DESTROY, 0, 0);
    record->alive = false;
    dropQueuedMessages(window);
    if (record->native != nullptr) {
        core.backend->destroyWindow(*record);
        record->native.reset();
    }
    return TRUE;
}

BOOL IsIconic(HWND window) {
    WindowRecord* record = coreFindWindow(window);
    return record != nullptr && record->native != nullptr && core.backend->iconic(*record) ? TRUE
                                                                                           : FALSE;
}

int GetSystemMetrics(int index) {
    if (coreBackend() == nullptr || (index != SM_CXSCREEN && index != SM_CYSCREEN)) {
        return 0;
    }
    return core.backend->screenMetric(index);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (coreBackend() == nullptr) {
        return 0;
    }
    const int answer = core.backend->messageBox(coreFindWindow(owner), text != nullptr ? text : "",
                                                caption != nullptr ? caption : "Error", type);
    coreFinishWarmUp();  // what the program does next may use what it made
    return answer;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr) {
        return nullptr;
    }
    record->invalid = false;
    if (paint != nullptr) {
        *paint = PAINTSTRUCT{};
        paint->hdc = coreDcHandle(*record);
        paint->rcPaint = RECT{0, 0, record->width, record->height};
    }
    return coreDcHandle(*record);
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    return coreFindWindow(window) ? TRUE : FALSE;
}

HWND SetCapture(HWND window) {
    const HWND previous = core.capture;
    WindowRecord* record = coreFindWindow(window);
    if (record == nullptr || record->native == nullptr) {
        return previous;
    }
    if (core.backend->grabPointer(*record)) {
        core.capture = window;
    }
    return previous;
}

BOOL ReleaseCapture() {
    if (core.backend != nullptr) {
        core.backend->releasePointer();
    }
    core.capture = nullptr;
    return TRUE;
}

HDC GetDC(HWND window) {
    WindowRecord* record = coreFindWindow(window);
    return record != nullptr ? coreDcHandle(*record) : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    return record != nullptr && coreHandle(*record) == window ? 1 : 0;
}

HWND WindowFromDC(HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    return record != nullptr ? coreHandle(*record) : nullptr;
}
