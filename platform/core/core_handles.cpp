// The backend of this run, window records and their handles, GL context
// handles, and sending and posting messages.
//
// Depends on: the backend tables the entry file lists.
// Cannot: switch backends within a run; the first one that connects stays.
#include "platform/core.h"

CoreState core;

namespace {

// Device contexts share their window's number, offset so that a window
// handle passed as a device context (or back) finds nothing.
constexpr std::uintptr_t kDcOffset = 0x40000000u;
// Context handles are their table index plus a base, so that they never
// collide with small window numbers passed by mistake.
constexpr std::uintptr_t kContextBase = 0x60000000u;

WindowRecord* recordById(std::uintptr_t id) {
    if (id == 0 || id > core.windows.size()) {
        return nullptr;
    }
    WindowRecord* record = core.windows[id - 1].get();
    return record->alive ? record : nullptr;
}

}  // namespace

std::string coreConnect(std::span<const PlatformBackend* const> candidates) {
    if (core.backend != nullptr) {
        return {};
    }
    std::string problem = "no window system to try";
    for (const PlatformBackend* candidate : candidates) {
        problem = candidate->connect();
        if (problem.empty()) {
            core.backend = candidate;
            break;
        }
    }
    return problem;
}

const PlatformBackend* coreBackend() {
    return core.backend;
}

void coreReset() {
    coreFinishWarmUp();
    core = CoreState{};
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

HGLRC coreAddContext(void* context) {
    core.contexts.push_back(context);
    return reinterpret_cast<HGLRC>(kContextBase + core.contexts.size());
}

void* coreContextOf(HGLRC handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value <= kContextBase || value - kContextBase > core.contexts.size()) {
        return nullptr;
    }
    return core.contexts[value - kContextBase - 1];
}

void coreForgetContext(HGLRC handle) {
    if (coreContextOf(handle) != nullptr) {
        core.contexts[reinterpret_cast<std::uintptr_t>(handle) - kContextBase - 1] = nullptr;
    }
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
bool coreReportSize(WindowRecord& record, int width, int height) {
    if (width == record.reportedWidth && height == record.reportedHeight) {
        return false;
    }
    record.reportedWidth = width;
    record.reportedHeight = height;
    corePost(record, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    return true;
}

void coreWindowDestroyedOutside(WindowRecord& record) {
    if (!record.destroying) {
        DestroyWindow(coreHandle(record));
    }
}

LPARAM corePointLParam(int x, int y) {
    return MAKELPARAM(x, y);
}
