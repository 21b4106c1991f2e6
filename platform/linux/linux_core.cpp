// Window classes, records and handles, and the backend of this run.
//
// Depends on: the X11 and Wayland backends (linux_backends.h) for choosing.
// Cannot: switch backends within a run; the first one that connects stays.
#include "platform/linux/linux_core.h"

#include <cstdlib>

#include "platform/linux/linux_backends.h"

LinuxCore core;

namespace {

// Device contexts share their window's number, offset so that a window
// handle passed as a device context (or back) finds nothing.
constexpr std::uintptr_t kDcOffset = 0x40000000u;

WindowRecord* recordById(std::uintptr_t id) {
    if (id == 0 || id > core.windows.size()) {
        return nullptr;
    }
    WindowRecord* record = core.windows[id - 1].get();
    return record->alive ? record : nullptr;
}

bool waylandRequested() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr && name[0] != '\0';
}

}  // namespace

std::string coreConnect() {
    if (core.backend != nullptr) {
        return {};
    }
    core.chosen = true;
    if (waylandRequested() && waylandConnect().empty()) {
        core.backend = &waylandBackend;
        return {};
    }
    const std::string problem = x11OpenDisplay();  // selects the X11 backend itself
    return problem;
}

const LinuxBackend* coreBackend() {
    if (core.backend == nullptr && !core.chosen) {
        coreConnect();
    }
    return core.backend;
}

void coreUseBackend(const LinuxBackend* backend) {
    core.backend = backend;
    core.chosen = true;
}

void coreReset() {
    core = LinuxCore{};
}

WindowRecord* coreFindWindow(HWND window) {
    return recordById(reinterpret_cast<std::uintptr_t>(window));
}

WindowRecord* coreWindowFromDc(HDC dc) {
    const auto value = reinterpret_cast<std::uintptr_t>(dc);
    return value > kDcOffset ? recordById(value - kDcOffset) : nullptr;
}

HWND coreHandle(const WindowRecord& record) {
    return reinterpret_cast<HWND>(record.id);
}

HDC coreDcHandle(const WindowRecord& record) {
    return reinterpret_cast<HDC>(record.id + kDcOffset);
}

LRESULT coreSend(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!record.alive || record.procedure == nullptr) {
        return 0;
    }
    return record.procedure(coreHandle(record), message, wParam, lParam);
}

void corePost(const WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam, DWORD time,
              POINT point, DWORD privateData) {
    MSG msg{};
    msg.hwnd = coreHandle(record);
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = time;
    msg.pt = point;
    msg.lPrivate = privateData;
    core.queue.push_back(msg);
}

// Only a change of size is news: moves, and the echo of a size already
// reported, would keep a snapping-back window resizing forever.
void coreReportSize(WindowRecord& record, int width, int height) {
    if (width == record.reportedWidth && height == record.reportedHeight) {
        return;
    }
    record.reportedWidth = width;
    record.reportedHeight = height;
    corePost(record, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

void coreWindowDestroyedOutside(WindowRecord& record) {
    if (!record.destroying) {
        DestroyWindow(coreHandle(record));
    }
}

LPARAM corePointLParam(int x, int y) {
    return MAKELPARAM(x, y);
}
