// The message queue: the non-removing peek, the sleeping wait, key
// translation, dispatch, default processing and the quit message. The
// backend turns its events into queued messages and window state.
//
// Depends on: linux_core.h and the backend of the run.
// Cannot: sent messages between threads, or timers.
#include <algorithm>

#include "platform/core.h"

namespace {

// Range filter as Win32 has it: 0, 0 means every message.
bool inRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool matches(const MSG& msg, HWND window, UINT first, UINT last) {
    return (window == nullptr || msg.hwnd == window) && inRange(msg.message, first, last);
}

bool paintableWindow(HWND window, MSG* msg) {
    for (auto& record : core.windows) {
        if (record->alive && record->visible && record->invalid &&
            (window == nullptr || coreHandle(*record) == window)) {
            *msg = MSG{};
            msg->hwnd = coreHandle(*record);
            msg->message = WM_PAINT;
            return true;
        }
    }
    return false;
}

// Posted and input messages first, then quit, then paint, as on Win32.
bool nextMessage(MSG* msg, HWND window, UINT first, UINT last, bool remove) {
    if (core.backend != nullptr) {
        core.backend->readEvents();
    }
    auto found = std::find_if(core.queue.begin(), core.queue.end(),
                              [&](const MSG& m) { return matches(m, window, first, last); });
    if (found != core.queue.end()) {
        *msg = *found;
        if (remove) {
            core.queue.erase(found);
        }
        return true;
    }
    if (core.quitPosted && window == nullptr && inRange(WM_QUIT, first, last)) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(core.quitCode);
        if (remove) {
            core.quitPosted = false;
        }
        return true;
    }
    return inRange(WM_PAINT, first, last) && paintableWindow(window, msg);
}

}  // namespace

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) {
        return FALSE;
    }
    return nextMessage(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE
                                                                                        : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr || coreBackend() == nullptr ||
        (window != nullptr && coreFindWindow(window) == nullptr)) {
        return -1;
    }
    while (!nextMessage(msg, window, filterMin, filterMax, true)) {
        if (!core.backend->waitForEvents()) {
            return -1;
        }
    }
    return msg->message == WM_QUIT ? 0 : 1;
}

// The character comes next in the queue, before any later input.
BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN || core.backend == nullptr) {
        return FALSE;
    }
    const int character = core.backend->keyCharacter(*msg);
    if (character < 0) {
        return FALSE;
    }
    MSG translated = *msg;
    translated.message = WM_CHAR;
    translated.wParam = static_cast<WPARAM>(character);
    core.queue.push_front(translated);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    WindowRecord* record = coreFindWindow(msg->hwnd);
    return record != nullptr ? coreSend(*record, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        default:
            return 0;
    }
}

void PostQuitMessage(int exitCode) {
    core.quitPosted = true;
    core.quitCode = exitCode;
}
