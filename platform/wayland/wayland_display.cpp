// The connection to the compositor: globals, outputs, libdecor, reading
// events without blocking and sleeping for them, and the backend's table.
//
// Depends on: libwayland-client, libdecor (a plugin draws frames where the
// compositor does not), poll() on the display's fd, with a time-out for
// a held key's next repeat.
// Cannot: survive a lost compositor; that is one line on stderr and
// status 1. Outputs that come later than the first round trips are used
// for scale only; one that goes is forgotten. One seat is used at a time:
// a seat that goes takes its devices with it and another one is bound, and
// one that comes later is bound while the one in use has no devices.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_layer.h"
#include "viewporter-client.h"
#include "xdg-output-unstable-v1-client.h"

WaylandLayer wl;

namespace {

void onOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                      const char*, int32_t) {}

void onOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* output = static_cast<WaylandOutput*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        output->modeWidth = width;
        output->modeHeight = height;
    }
}

void onOutputDone(void*, wl_output*) {
    waylandOutputsChanged();
}

void onOutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<WaylandOutput*>(data)->scale = factor > 0 ? factor : 1;
}

const wl_output_listener kOutputListener = [] {
    wl_output_listener listener{};
    listener.geometry = onOutputGeometry;
    listener.mode = onOutputMode;
    listener.done = onOutputDone;
    listener.scale = onOutputScale;
    return listener;
}();

void onXdgPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void onXdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    static_cast<WaylandOutput*>(data)->logicalWidth = width;
    static_cast<WaylandOutput*>(data)->logicalHeight = height;
}
void onXdgDone(void*, zxdg_output_v1*) {}
void onXdgName(void*, zxdg_output_v1*, const char*) {}
void onXdgDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener kXdgOutputListener = {onXdgPosition, onXdgSize, onXdgDone, onXdgName,
                                                    onXdgDescription};

// The logical size comes with the output's own 'done' (version 3 of the
// manager), so the scale and the size are seen together.
void describeOutput(WaylandOutput& output) {
    if (wl.xdgOutputs != nullptr && output.output != nullptr && output.xdgOutput == nullptr) {
        output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(wl.xdgOutputs, output.output);
        zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
    }
}

// One seat is bound at a time: the first, or a newer one while the bound
// seat has no devices (sway makes new seats at run time), or, when the
// bound one goes, the newest that remains.
void bindSeat(const WaylandSeatGlobal& seat) {
    waylandUnbindSeat(false);
    wl.seatName = seat.name;
    waylandBindSeat(static_cast<wl_seat*>(
        wl_registry_bind(wl.registry, seat.name, &wl_seat_interface, std::min(seat.version, 5u))));
}

// Windows and boxes forget it too: a later output's proxy may reuse its address.
void forgetOutput(std::uint32_t name) {
    for (WaylandOutput& output : wl.outputs) {
        if (output.name == name && output.output != nullptr) {
            waylandForgetOutput(output.output);
            if (output.xdgOutput != nullptr) {
                zxdg_output_v1_destroy(output.xdgOutput);
            }
            wl_output_destroy(output.output);
            output = WaylandOutput{};
            waylandOutputsChanged();
        }
    }
}

void onShmFormat(void*, wl_shm*, uint32_t) {}
const wl_shm_listener kShmListener = {onShmFormat};

void onGlobal(void*, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        wl.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
    } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
        wl.subcompositor = static_cast<wl_subcompositor*>(
            wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        wl.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        wl_shm_add_listener(wl.shm, &kShmListener, nullptr);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        wl.viewporter = static_cast<wp_viewporter*>(
            wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        wl.fractionalScales = static_cast<wp_fractional_scale_manager_v1*>(
            wl_registry_bind(registry, name, &wp_fractional_scale_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 3) {
        wl.xdgOutputs = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 3));
        for (WaylandOutput& output : wl.outputs) {
            describeOutput(output);
        }
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        wl.seatGlobals.push_back({name, version});
        if (wl.seat == nullptr || wl.seatEmpty) {
            bindSeat(wl.seatGlobals.back());
        }
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        // Reserved up front: listeners keep pointers into the vector.
        wl.outputs.reserve(16);
        if (wl.outputs.size() < wl.outputs.capacity()) {
            WaylandOutput& output = wl.outputs.emplace_back();
            output.name = name;
            output.output = static_cast<wl_output*>(
                wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
            wl_output_add_listener(output.output, &kOutputListener, &output);
            describeOutput(output);
        }
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t name) {
    std::erase_if(wl.seatGlobals, [&](const WaylandSeatGlobal& seat) { return seat.name == name; });
    if (wl.seat != nullptr && name == wl.seatName) {
        waylandUnbindSeat(true);
        if (!wl.seatGlobals.empty()) {
            bindSeat(wl.seatGlobals.back());
        }
    }
    forgetOutput(name);
}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onDecorError(libdecor*, libdecor_error, const char* message) {
    std::fprintf(stderr, "morvane: window frames: %s\n", message);
    std::fflush(nullptr);
    _exit(1);
}

libdecor_interface decorInterface = {onDecorError, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}};

void checkConnection(int result) {
    if (result < 0) {
        waylandFail("lost the connection to the Wayland compositor");
    }
}

// Backend entries that have nothing to do on Wayland.
void moveWindow(WindowRecord&) {}  // clients cannot place their windows
bool grabPointer(WindowRecord&) {
    return true;  // a held button keeps the pointer's events coming by itself
}
void releasePointer() {}
UINT realizePalette(WindowRecord&, const std::vector<PALETTEENTRY>&) {
    return 0;  // every EGL format is true colour
}

int screenMetric(int index) {
    const WaylandOutput* output = waylandFirstOutput();
    if (output == nullptr) {
        return 0;
    }
    return index == SM_CXSCREEN ? output->modeWidth : output->modeHeight;
}

int keyCharacter(const MSG& keyDown) {
    return keyDown.lPrivate != 0 ? static_cast<int>(keyDown.lPrivate) : -1;
}

int pixelFormatCount() {
    return waylandEglReady() ? static_cast<int>(wl.configs.size()) : 0;
}

bool describePixelFormat(int format, PIXELFORMATDESCRIPTOR* descriptor) {
    if (!waylandEglReady() || format < 1 || static_cast<std::size_t>(format) > wl.configs.size()) {
        return false;
    }
    *descriptor = waylandDescribeConfig(wl.configs[static_cast<std::size_t>(format) - 1]);
    return true;
}

}  // namespace

// Windows and events are in wayland_window.cpp, the rest here and in
// wayland_egl.cpp.
bool waylandCreateWindow(WindowRecord& record, int pixelFormat);
void waylandDestroyWindow(WindowRecord& record);
void waylandShowWindow(WindowRecord& record, bool show);
void waylandResizeWindow(WindowRecord& record);
bool waylandIconic(const WindowRecord& record);

const PlatformBackend waylandBackend = {
    .name = "wayland",
    .connect = waylandConnect,
    .createWindow = waylandCreateWindow,
    .destroyWindow = waylandDestroyWindow,
    .showWindow = waylandShowWindow,
    .moveWindow = moveWindow,
    .resizeWindow = waylandResizeWindow,
    .grabPointer = grabPointer,
    .releasePointer = releasePointer,
    .iconic = waylandIconic,
    .screenMetric = screenMetric,
    .messageBox = waylandMessageBox,
    .readEvents = waylandDispatch,
    .waitForEvents = waylandWait,
    .keyCharacter = keyCharacter,
    .choosePixelFormat = waylandChooseFormat,
    .pixelFormatCount = pixelFormatCount,
    .describePixelFormat = describePixelFormat,
    .realizePalette = realizePalette,
    .createContext = waylandCreateContext,
    .makeCurrent = waylandMakeCurrent,
    .deleteContext = waylandDeleteContext,
    .swapBuffers = waylandSwap,
    .warmContext = waylandWarmContext,
};

void waylandFail(const char* what) {
    std::fprintf(stderr, "morvane: %s\n", what);
    std::fflush(nullptr);
    _exit(1);  // the driver's exit handlers would talk to the dead connection
}

std::string waylandConnect() {
    if (wl.display != nullptr) {
        return {};
    }
    // libwayland would otherwise try "wayland-0".
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return "WAYLAND_DISPLAY is not set";
    }
    wl.display = wl_display_connect(nullptr);
    if (wl.display == nullptr) {
        return "cannot connect to the Wayland compositor";
    }
    wl.registry = wl_display_get_registry(wl.display);
    wl_registry_add_listener(wl.registry, &kRegistryListener, nullptr);
    // Globals, then what the bound outputs and seat say about themselves.
    if (wl_display_roundtrip(wl.display) < 0 || wl_display_roundtrip(wl.display) < 0 ||
        wl.compositor == nullptr || wl.subcompositor == nullptr || wl.shm == nullptr) {
        wl_display_disconnect(wl.display);
        wl = WaylandLayer{};
        return "the Wayland compositor lacks what windows need";
    }
    wl.decor = libdecor_new(wl.display, &decorInterface);
    if (wl.decor == nullptr) {
        wl_display_disconnect(wl.display);
        wl = WaylandLayer{};
        return "libdecor cannot work with this compositor";
    }
    return {};
}

// The longer sides compared, so that a rotated output gives the same.
double waylandOutputFactor(const WaylandOutput& output) {
    const int logical = std::max(output.logicalWidth, output.logicalHeight);
    const int mode = std::max(output.modeWidth, output.modeHeight);
    return logical > 0 && mode > 0 ? static_cast<double>(mode) / logical : output.scale;
}

const WaylandOutput* waylandFirstOutput() {
    for (const WaylandOutput& output : wl.outputs) {
        if (output.output != nullptr && output.modeWidth > 0 && output.modeHeight > 0) {
            return &output;
        }
    }
    return nullptr;
}

int waylandScale() {
    const WaylandOutput* output = waylandFirstOutput();
    return output != nullptr ? output->scale : 1;
}

// Reads what the socket has, without waiting, and runs the listeners.
void waylandDispatch() {
    while (wl_display_prepare_read(wl.display) != 0) {
        checkConnection(wl_display_dispatch_pending(wl.display));
    }
    if (wl_display_flush(wl.display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(wl.display);
        waylandFail("lost the connection to the Wayland compositor");
    }
    pollfd connection{wl_display_get_fd(wl.display), POLLIN, 0};
    if (poll(&connection, 1, 0) > 0) {
        checkConnection(wl_display_read_events(wl.display));
    } else {
        wl_display_cancel_read(wl.display);
    }
    checkConnection(wl_display_dispatch_pending(wl.display));
    waylandPostDueRepeat();
}

bool waylandIdle() {
    if (wl_display_prepare_read(wl.display) != 0) {
        return false;  // dispatched events wait on the default queue
    }
    if (wl_display_flush(wl.display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(wl.display);
        waylandFail("lost the connection to the Wayland compositor");
    }
    pollfd connection{wl_display_get_fd(wl.display), POLLIN, 0};
    const bool quiet = poll(&connection, 1, 0) == 0;
    wl_display_cancel_read(wl.display);
    return quiet;
}

namespace {

// Sleeps in poll until the connection has events or the time-out (ms, -1
// for none) passes, and dispatches what came; false when poll failed.
bool waitOnConnection(int timeoutMs) {
    while (wl_display_prepare_read(wl.display) != 0) {
        checkConnection(wl_display_dispatch_pending(wl.display));
    }
    while (wl_display_flush(wl.display) < 0) {
        if (errno != EAGAIN) {
            wl_display_cancel_read(wl.display);
            waylandFail("lost the connection to the Wayland compositor");
        }
        pollfd writable{wl_display_get_fd(wl.display), POLLOUT, 0};
        poll(&writable, 1, -1);
    }
    pollfd connection{wl_display_get_fd(wl.display), POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&connection, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        wl_display_cancel_read(wl.display);
        return ready == 0;
    }
    checkConnection(wl_display_read_events(wl.display));
    checkConnection(wl_display_dispatch_pending(wl.display));
    return true;
}

// The nearer of the two, in poll's terms.
int sooner(int timeoutMs, int otherMs) {
    if (timeoutMs < 0) {
        return otherMs;
    }
    return otherMs < 0 ? timeoutMs : std::min(timeoutMs, otherMs);
}

// A held key due to repeat ends the sleep too.
bool waitThenRepeat(int timeoutMs) {
    const bool ok = waitOnConnection(sooner(timeoutMs, waylandRepeatTimeout()));
    waylandPostDueRepeat();
    return ok;
}

}  // namespace

// Sleeps until the connection has events or a held key is due to repeat;
// the queue then has whatever came.
bool waylandWait() {
    return waitThenRepeat(-1);
}

bool waylandWaitAtMost(std::chrono::milliseconds limit) {
    return waitThenRepeat(
        static_cast<int>(std::max<std::chrono::milliseconds::rep>(limit.count(), 0)));
}
