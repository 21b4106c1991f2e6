// Top-level windows on Wayland: a parent surface with a libdecor frame,
// filled black from a wl_shm buffer, and a GL subsurface of the window's
// size in device pixels centred on it, so that a size the compositor
// imposes (full screen, tiling) leaves the picture whole with a margin, or
// shows its middle, cropped by wp_viewporter, where the size is smaller.
// Showing waits for the first configure; frame callbacks pace the pictures
// and tell when the compositor stopped asking for them.
//
// The drawable keeps its size in device pixels when the scale changes (the
// user's setting, another output): its logical size follows, at a
// fractional scale through a viewport's destination. Which scale, and the
// sizes at it, come from wayland_scale.cpp.
//
// Depends on: libwayland-client (wl_subcompositor, wl_shm, wp_viewporter,
// wp_fractional_scale_v1 where offered), libdecor.
// Cannot: place a window (Wayland gives clients no positions). At an
// integer scale drawables are rounded down to a multiple of it, as
// surfaces must be; at a fractional one without wp_viewporter the scale is
// rounded up.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/wayland/wayland_layer.h"
#include "platform/wayland/wayland_placement.h"
#include "viewporter-client.h"

namespace {

using namespace std::chrono_literals;

// A frame asked for this long ago and not granted: the window is out of
// sight (minimised, hidden, on no output).
constexpr auto kStarvedAfter = 1s;
// The longest a swap waits for the previous frame to be granted: several
// refreshes of a slow compositor, short enough to keep input flowing.
constexpr auto kFrameWait = 100ms;

int roundedToScale(int pixels, int scale) {
    const int rounded = pixels - pixels % scale;
    return rounded > 0 ? rounded : scale;
}

void fillMargin(WaylandWindow& window) {
    const int width = window.contentWidth * window.scale;
    const int height = window.contentHeight * window.scale;
    if (window.margin.width != width || window.margin.height != height) {
        waylandFreeBuffer(window.margin);
        if (!waylandMakeBuffer(window.margin, width, height)) {
            return;
        }
    }
    std::fill(window.margin.pixels, window.margin.pixels + width * height, 0xff000000u);
}

// The crop goes up with the next picture, which then has the drawable's
// size for certain; a repaint is asked for so that it comes. A fractional
// scale needs a destination even for the whole picture; a source is in
// the buffer's pixels over its scale.
void cropPicture(WindowRecord& record, WaylandWindow& window, const PicturePlacement& placement) {
    const bool whole =
        placement.width == window.pictureWidth && placement.height == window.pictureHeight;
    const bool fractional = window.factor != window.scale;
    const int width = whole && !fractional ? 0 : placement.width;
    const int height = whole && !fractional ? 0 : placement.height;
    if (window.viewport == nullptr ||
        (placement.cropX == window.cropX && placement.cropY == window.cropY &&
         width == window.cropWidth && height == window.cropHeight && !window.rescaled)) {
        return;
    }
    const wl_fixed_t unset = wl_fixed_from_int(-1);
    if (whole) {
        wp_viewport_set_source(window.viewport, unset, unset, unset, unset);
    } else {
        const double toBuffer = window.factor / window.scale;
        wp_viewport_set_source(window.viewport, wl_fixed_from_double(placement.cropX * toBuffer),
                               wl_fixed_from_double(placement.cropY * toBuffer),
                               wl_fixed_from_double(width * toBuffer),
                               wl_fixed_from_double(height * toBuffer));
    }
    wp_viewport_set_destination(window.viewport, width > 0 ? width : -1, height > 0 ? height : -1);
    window.cropX = placement.cropX;
    window.cropY = placement.cropY;
    window.cropWidth = width;
    window.cropHeight = height;
    window.rescaled = false;
    record.invalid = true;
}

// A logical length of the window in device pixels: the drawable's own
// size where it is the picture's.
int devicePixels(const WaylandWindow& window, int logical, int picture) {
    if (logical == picture) {
        return picture == window.pictureWidth ? window.drawWidth : window.drawHeight;
    }
    return static_cast<int>(std::lround(logical * window.factor));
}

// The drawable centred on the parent, and cropped to it where the parent
// is smaller; the parent's size in device pixels is what WM_SIZE reports
// when the compositor imposed one.
void placeContent(WindowRecord& record, WaylandWindow& window) {
    const PicturePlacement placement =
        placePicture(window.contentWidth, window.contentHeight, window.pictureWidth,
                     window.pictureHeight, window.viewport != nullptr);
    cropPicture(record, window, placement);
    window.offsetX = placement.x - placement.cropX;
    window.offsetY = placement.y - placement.cropY;
    wl_subsurface_set_position(window.subsurface, placement.x, placement.y);
    fillMargin(window);
    wl_surface_set_buffer_scale(window.surface, window.scale);
    if (window.margin.buffer != nullptr) {
        wl_surface_attach(window.surface, window.margin.buffer, 0, 0);
        wl_surface_damage(window.surface, 0, 0, window.contentWidth, window.contentHeight);
    }
    wl_surface_commit(window.surface);
    coreReportSize(record, devicePixels(window, window.contentWidth, window.pictureWidth),
                   devicePixels(window, window.contentHeight, window.pictureHeight));
}

void onConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
    auto* record = static_cast<WindowRecord*>(data);
    WaylandWindow* window = waylandWindowOf(*record);
    if (window == nullptr) {
        return;
    }
    int width = 0;
    int height = 0;
    if (!libdecor_configuration_get_content_size(configuration, frame, &width, &height) ||
        width <= 0 || height <= 0) {
        width = window->pictureWidth;  // the client chooses
        height = window->pictureHeight;
    }
    window->contentWidth = width;
    window->contentHeight = height;
    libdecor_state* state = libdecor_state_new(width, height);
    libdecor_frame_commit(frame, state, configuration);
    libdecor_state_free(state);
    window->configured = true;
    placeContent(*record, *window);
}

void onClose(libdecor_frame*, void* data) {
    corePost(*static_cast<WindowRecord*>(data), WM_CLOSE, 0, 0);
}

void onCommit(libdecor_frame*, void* data) {
    WaylandWindow* window = waylandWindowOf(*static_cast<WindowRecord*>(data));
    if (window != nullptr) {
        wl_surface_commit(window->surface);
    }
}

void onDismissPopup(libdecor_frame*, const char*, void*) {}

libdecor_frame_interface frameInterface = [] {
    libdecor_frame_interface listener{};
    listener.configure = onConfigure;
    listener.close = onClose;
    listener.commit = onCommit;
    listener.dismiss_popup = onDismissPopup;
    return listener;
}();

void onFrameDone(void* data, wl_callback*, uint32_t) {
    waylandFrameDone(*static_cast<WaylandWindow*>(data));
}

const wl_callback_listener kFrameListener = {.done = onFrameDone};

// Fixed size: min = max, and no resizing from the frame.
void setFixedSize(WaylandWindow& window) {
    libdecor_frame_set_min_content_size(window.frame, window.pictureWidth, window.pictureHeight);
    libdecor_frame_set_max_content_size(window.frame, window.pictureWidth, window.pictureHeight);
}

void makeFrame(WindowRecord& record, WaylandWindow& window) {
    window.frame = libdecor_decorate(wl.decor, window.surface, &frameInterface, &record);
    libdecor_frame_set_title(window.frame, record.title.c_str());
    libdecor_frame_set_app_id(window.frame, "morvane");
    libdecor_frame_unset_capabilities(window.frame, LIBDECOR_ACTION_RESIZE);
    setFixedSize(window);
}

// A frame asked for and not granted within kStarvedAfter; it stays so
// until the next 'done'.
bool starvedNow(WaylandWindow& window) {
    if (window.frameCallback != nullptr && !window.starved &&
        std::chrono::steady_clock::now() - window.frameAsked > kStarvedAfter) {
        window.starved = true;
    }
    return window.starved;
}

// The drawable stays the record's size in device pixels, rounded down to
// the buffer scale.
void sizeDrawable(const WindowRecord& record, WaylandWindow& window, double factor) {
    const BufferScale scale = waylandBufferScale(factor, window.viewport != nullptr);
    window.scale = scale.scale;
    window.factor = scale.factor;
    window.drawWidth = roundedToScale(record.width, scale.scale);
    window.drawHeight = roundedToScale(record.height, scale.scale);
    window.pictureWidth = waylandLogicalLength(window.drawWidth, scale);
    window.pictureHeight = waylandLogicalLength(window.drawHeight, scale);
}

// A new scale: the drawable keeps its device size, the window takes the
// logical size that gives it, unasked, as the client of a fixed size.
void followScale(WindowRecord& record, WaylandWindow& window) {
    const double factor = waylandWantedFactor(window.scaleWatch);
    const int oldScale = window.scale;
    const double oldFactor = window.factor;
    const int oldWidth = window.drawWidth;
    sizeDrawable(record, window, factor);
    if (window.scale == oldScale && window.factor == oldFactor && window.drawWidth == oldWidth) {
        return;
    }
    window.rescaled = true;
    wl_surface_set_buffer_scale(window.glSurface, window.scale);
    if (window.eglWindow != nullptr) {
        wl_egl_window_resize(window.eglWindow, window.drawWidth, window.drawHeight, 0, 0);
    }
    if (window.frame != nullptr) {
        setFixedSize(window);
        if (window.configured) {
            window.contentWidth = window.pictureWidth;
            window.contentHeight = window.pictureHeight;
            libdecor_state* state = libdecor_state_new(window.contentWidth, window.contentHeight);
            libdecor_frame_commit(window.frame, state, nullptr);
            libdecor_state_free(state);
            placeContent(record, window);
        }
    }
    record.invalid = true;
}

void onScaleChanged(void* owner) {
    auto& record = *static_cast<WindowRecord*>(owner);
    WaylandWindow* window = record.alive ? waylandWindowOf(record) : nullptr;
    if (window != nullptr) {
        followScale(record, *window);
    }
}

}  // namespace

WaylandWindow::~WaylandWindow() {
    if (eglSurface != EGL_NO_SURFACE) {
        if (eglGetCurrentSurface(EGL_DRAW) == eglSurface) {
            eglMakeCurrent(wl.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroySurface(wl.egl, eglSurface);
    }
    if (eglWindow != nullptr) {
        wl_egl_window_destroy(eglWindow);
    }
    if (frameCallback != nullptr) {
        wl_callback_destroy(frameCallback);
    }
    if (frame != nullptr) {
        libdecor_frame_unref(frame);
    }
    if (viewport != nullptr) {
        wp_viewport_destroy(viewport);
    }
    waylandUnwatchScale(scaleWatch);
    if (subsurface != nullptr) {
        wl_subsurface_destroy(subsurface);
    }
    if (glSurface != nullptr) {
        wl_surface_destroy(glSurface);
    }
    if (surface != nullptr) {
        wl_surface_destroy(surface);
    }
    waylandFreeBuffer(margin);
    if (wl.display != nullptr) {
        wl_display_flush(wl.display);
    }
}

WaylandWindow* waylandWindowOf(const WindowRecord& record) {
    return coreNativeOf<WaylandWindow>(record, waylandBackend);
}

WindowRecord* waylandRecordOf(wl_surface* surface) {
    if (surface == nullptr) {
        return nullptr;
    }
    for (auto& record : core.windows) {
        WaylandWindow* window = record->alive ? waylandWindowOf(*record) : nullptr;
        if (window != nullptr && (window->surface == surface || window->glSurface == surface)) {
            return record.get();
        }
    }
    return nullptr;
}

void waylandFrameDone(WaylandWindow& window) {
    if (window.frameCallback != nullptr) {
        wl_callback_destroy(window.frameCallback);
        window.frameCallback = nullptr;
    }
    if (window.starved) {
        window.starved = false;
        // The compositor wants pictures again: GetMessage wakes with WM_PAINT.
        for (auto& record : core.windows) {
            if (record->native.get() == &window) {
                record->invalid = true;
            }
        }
    }
}

// Asks for the next frame before a picture is committed, unless the last
// request is still open.
void waylandAskForFrame(WaylandWindow& window) {
    if (window.frameCallback != nullptr) {
        return;
    }
    window.frameCallback = wl_surface_frame(window.glSurface);
    wl_callback_add_listener(window.frameCallback, &kFrameListener, &window);
    window.frameAsked = std::chrono::steady_clock::now();
}

void waylandAwaitFrame(WaylandWindow& window) {
    const auto start = std::chrono::steady_clock::now();
    while (window.frameCallback != nullptr) {
        const auto now = std::chrono::steady_clock::now();
        if (starvedNow(window) || now - start >= kFrameWait) {
            return;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(kFrameWait - (now - start));
        if (!waylandWaitAtMost(left)) {
            waylandFail("lost the connection to the Wayland compositor");
        }
    }
}

// weston 10 makes a view for a desynchronised subsurface's first picture,
// and so paints it and grants its frame, only when something else repaints
// the output: that commit schedules no repaint, the surface being on no
// output yet. Nothing else may repaint it (kiosk-shell's second output,
// the pointer elsewhere), so the parent's commit does; it changes nothing.
void waylandPictureCommitted(WaylandWindow& window) {
    if (window.pictureCommitted) {
        return;
    }
    window.pictureCommitted = true;
    wl_surface_commit(window.surface);
    wl_display_flush(wl.display);
}

bool waylandIconic(const WindowRecord& record) {
    WaylandWindow* window = waylandWindowOf(record);
    return window != nullptr && starvedNow(*window);
}

bool waylandCreateWindow(WindowRecord& record, int pixelFormat) {
    WaylandWindow* window = waylandWindowOf(record);
    if (window == nullptr) {
        auto made = std::make_unique<WaylandWindow>();
        window = made.get();
        window->surface = wl_compositor_create_surface(wl.compositor);
        window->glSurface = wl_compositor_create_surface(wl.compositor);
        window->subsurface =
            wl_subcompositor_get_subsurface(wl.subcompositor, window->glSurface, window->surface);
        wl_subsurface_set_desync(window->subsurface);  // GL pictures go up on their own
        if (wl.viewporter != nullptr) {
            window->viewport = wp_viewporter_get_viewport(wl.viewporter, window->glSurface);
        }
        sizeDrawable(record, *window, waylandWantedFactor(window->scaleWatch));
        wl_surface_set_buffer_scale(window->glSurface, window->scale);
        // The parent tells the scale: the GL surface is on the same outputs.
        waylandWatchScale(window->scaleWatch, window->surface, window->viewport != nullptr,
                          onScaleChanged, &record);
        // The whole drawable takes input, the margin too: both are ours.
        record.native = std::move(made);
    }
    if (pixelFormat != 0 && window->eglSurface == EGL_NO_SURFACE) {
        return waylandMakeEglSurface(*window, pixelFormat);
    }
    return true;
}

void waylandDestroyWindow(WindowRecord& record) {
    record.native.reset();
}

void waylandShowWindow(WindowRecord& record, bool show) {
    WaylandWindow* window = waylandWindowOf(record);
    if (window == nullptr) {
        return;
    }
    if (!show) {
        if (window->frame != nullptr) {
            libdecor_frame_unref(window->frame);
            window->frame = nullptr;
        }
        wl_surface_attach(window->surface, nullptr, 0, 0);
        wl_surface_commit(window->surface);
        window->configured = false;
        window->pictureCommitted = false;  // unmapped: its view goes with it
        wl_display_flush(wl.display);
        return;
    }
    makeFrame(record, *window);
    libdecor_frame_map(window->frame);
    wl_surface_commit(window->surface);
    // Synchronous, as on Win32: the window is on the screen when this returns.
    while (!window->configured) {
        if (!waylandWait()) {
            waylandFail("lost the connection to the Wayland compositor");
        }
    }
}

void waylandResizeWindow(WindowRecord& record) {
    WaylandWindow* window = waylandWindowOf(record);
    if (window == nullptr) {
        return;
    }
    sizeDrawable(record, *window, window->factor);
    window->rescaled = true;
    if (window->eglWindow != nullptr) {
        wl_egl_window_resize(window->eglWindow, window->drawWidth, window->drawHeight, 0, 0);
    }
    if (window->frame != nullptr) {
        setFixedSize(*window);
        if (window->configured) {
            placeContent(record, *window);
        }
    }
    wl_display_flush(wl.display);
}
