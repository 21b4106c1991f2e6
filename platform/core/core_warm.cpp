// The warm-up: while the first message box waits for the user, a helper
// thread chooses the program's pixel format, makes a context for it and
// draws one frame with it where nobody sees, so that the driver is loaded
// and its shaders are built before OK. Compiling them takes up to a quarter
// of a second and cannot be cut into pieces, and the box must answer a key
// within a frame, hence a thread rather than slices between the box's events.
//
// The helper touches only GL and the backend's pixel-format state, which
// nothing else uses while the box is up; MessageBoxA joins it before it
// returns. What it found is kept, not reported: the window's own calls
// report any failure in their usual place.
//
// Depends on: the backend's warmContext and choosePixelFormat.
// Cannot: warm up more than once a run, or hand a context to a window of
// another format (that one is deleted and the window makes its own).
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/core.h"

namespace {

void warmUpOnHelper() {
    WarmUp& warm = core.warmUp;
    warm.format = core.backend->choosePixelFormat(warm.request);
    if (warm.format != 0) {
        warm.context = core.backend->warmContext(warm.format, warm.draw);
    }
}

bool sameRequest(const PIXELFORMATDESCRIPTOR& a, const PIXELFORMATDESCRIPTOR& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void deleteBackendContext(void* context) {
    core.backend->deleteContext(coreAddContext(context));
}

}  // namespace

void coreSetWarmUp(const PIXELFORMATDESCRIPTOR& request, void (*draw)()) {
    core.warmUp.request = request;
    core.warmUp.draw = draw;
}

bool coreWarmUpWaiting() {
    const WarmUp& warm = core.warmUp;
    return !warm.started && warm.draw != nullptr && core.backend != nullptr &&
           core.backend->warmContext != nullptr;
}

void coreStartWarmUp() {
    WarmUp& warm = core.warmUp;
    if (!coreWarmUpWaiting()) {
        return;
    }
    warm.started = true;
    try {
        warm.helper = std::thread(warmUpOnHelper);
    } catch (const std::system_error&) {
        // No thread to spare: the window gets ready after OK, as it would without.
    }
}

void coreFinishWarmUp() {
    WarmUp& warm = core.warmUp;
    if (warm.helper.joinable()) {
        warm.helper.join();
        warm.finished = true;
    }
}

void coreEndWarmUp() {
    coreFinishWarmUp();
    if (void* context = std::exchange(core.warmUp.context, nullptr)) {
        deleteBackendContext(context);
    }
}

// The helper's answer for the same request; -1 when there is none to keep.
int coreWarmFormat(const PIXELFORMATDESCRIPTOR& request) {
    const WarmUp& warm = core.warmUp;
    return warm.finished && sameRequest(request, warm.request) ? warm.format : -1;
}

// The ready context, when it was made for this format; null otherwise, and
// then a context made for another one is deleted.
HGLRC coreTakeWarmContext(int format) {
    coreFinishWarmUp();
    void* context = std::exchange(core.warmUp.context, nullptr);
    if (context == nullptr) {
        return nullptr;
    }
    if (core.warmUp.format != format) {
        deleteBackendContext(context);
        return nullptr;
    }
    return coreAddContext(context);
}
