// MessageBoxA as a modal Wayland toplevel: the picture platform/dialog
// draws, at 96 dpi times the output's scale, shown from a wl_shm buffer in
// a libdecor frame titled with the caption and set as a child of its
// owner. platform/dialog decides what the keys and the button do; the
// frame's close button dismisses it too. It returns only then. Events for
// the program's windows that arrive meanwhile go to their queue.
//
// Like the windows, the box keeps its size in device pixels when the scale
// changes or it moves to an output of another: the same picture, one
// buffer pixel per device pixel, with a new buffer scale or, at a
// fractional scale, a viewport's destination.
//
// Once the first box is configured, drawn and no event waits, the core's
// warm-up starts on its helper thread, so that the window made after it
// finds its context ready. The loop reads events through prepare_read,
// which lets EGL read its own queue on the helper meanwhile.
//
// Depends on: libwayland-client, libdecor, wp_viewporter and
// wp_fractional_scale_v1 where offered, platform/dialog (FreeType and
// fontconfig).
// Cannot: a place on the screen (the compositor chooses). Its text is not
// laid out again at a new scale, so it stays the size it was made at.
#include <algorithm>
#include <cstdio>

#include "platform/dialog/dialog_box.h"
#include "platform/wayland/wayland_layer.h"
#include "viewporter-client.h"

namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

struct WaylandBox {
    BoxInput input;
    libdecor_frame* frame = nullptr;
    wp_viewport* viewport = nullptr;  // null without wp_viewporter
    ScaleWatch scaleWatch;
    // The picture, rounded up to the buffer scale; device pixels.
    ShmBuffer buffer;
    DialogBox dialog;
    BufferScale scale;
    int imposedWidth = 0;  // a full screen's content size, logical; 0 when none
    int imposedHeight = 0;
    bool configured = false;
    bool closed = false;
    int answer = 0;
};

WaylandBox& boxOf(BoxInput& input) {
    return *static_cast<WaylandBox*>(input.data);
}

int roundedUp(int pixels, int scale) {
    return (pixels + scale - 1) / scale * scale;
}

int logicalWidth(const WaylandBox& box) {
    return waylandLogicalLength(box.buffer.width, box.scale);
}

int logicalHeight(const WaylandBox& box) {
    return waylandLogicalLength(box.buffer.height, box.scale);
}

void present(WaylandBox& box) {
    const DialogPixels& pixels = box.dialog.pixels;
    ShmBuffer& buffer = box.buffer;
    // The unused byte is set all the same: some renderers read it as alpha.
    std::fill(buffer.pixels, buffer.pixels + buffer.width * buffer.height, kOpaque | kDialogFace);
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* from = pixels.xrgb.data() + static_cast<std::size_t>(y) * pixels.width;
        std::uint32_t* to = buffer.pixels + static_cast<std::size_t>(y) * buffer.width;
        for (int x = 0; x < pixels.width; ++x) {
            to[x] = kOpaque | from[x];
        }
    }
    wl_surface* surface = box.input.surface;
    wl_surface_set_buffer_scale(surface, box.scale.scale);
    if (box.viewport != nullptr) {
        const bool fractional = box.scale.factor != box.scale.scale;
        wp_viewport_set_destination(box.viewport, fractional ? logicalWidth(box) : -1,
                                    fractional ? logicalHeight(box) : -1);
    }
    wl_surface_attach(surface, buffer.buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, logicalWidth(box), logicalHeight(box));
    wl_surface_commit(surface);
}

void follow(WaylandBox& box, const DialogReply& reply) {
    if (reply.redraw.width > 0 && reply.redraw.height > 0 && box.configured) {
        present(box);
    }
    box.closed = reply.done;
    box.answer = reply.answer;
}

void onPointer(BoxInput& input, int x, int y, bool pressed, bool released) {
    WaylandBox& box = boxOf(input);
    const DialogPointer what = pressed    ? DialogPointer::press
                               : released ? DialogPointer::release
                                          : DialogPointer::move;
    follow(box, dialogPointer(box.dialog, x, y, what));
}

void onKey(BoxInput& input, xkb_keysym_t keysym) {
    WaylandBox& box = boxOf(input);
    follow(box, dialogKey(box.dialog, keysym));
}

// The box keeps its own size whatever the compositor suggests, but for a
// full screen smaller than the box (kiosk-shell on another output than the
// one it was laid out for): a window larger than that ends the connection.
void commitSize(WaylandBox& box, libdecor_configuration* configuration) {
    int width = logicalWidth(box);
    int height = logicalHeight(box);
    if (box.imposedWidth > 0 && box.imposedHeight > 0) {
        width = std::min(width, box.imposedWidth);
        height = std::min(height, box.imposedHeight);
    }
    libdecor_state* state = libdecor_state_new(width, height);
    libdecor_frame_commit(box.frame, state, configuration);
    libdecor_state_free(state);
}

void onConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
    auto& box = *static_cast<WaylandBox*>(data);
    libdecor_window_state windowState = LIBDECOR_WINDOW_STATE_NONE;
    if (!libdecor_configuration_get_window_state(configuration, &windowState) ||
        (windowState & LIBDECOR_WINDOW_STATE_FULLSCREEN) == 0 ||
        !libdecor_configuration_get_content_size(configuration, frame, &box.imposedWidth,
                                                 &box.imposedHeight)) {
        box.imposedWidth = 0;
        box.imposedHeight = 0;
    }
    commitSize(box, configuration);
    box.configured = true;
    present(box);
}

void onClose(libdecor_frame*, void* data) {
    follow(*static_cast<WaylandBox*>(data), dialogClosed());
}

void onCommit(libdecor_frame*, void* data) {
    wl_surface_commit(static_cast<WaylandBox*>(data)->input.surface);
}

void onDismissPopup(libdecor_frame*, const char*, void*) {}

libdecor_frame_interface boxFrameInterface = [] {
    libdecor_frame_interface listener{};
    listener.configure = onConfigure;
    listener.close = onClose;
    listener.commit = onCommit;
    listener.dismiss_popup = onDismissPopup;
    return listener;
}();

// Fixed size: min = max, and no resizing from the frame.
void setFixedSize(WaylandBox& box) {
    libdecor_frame_set_min_content_size(box.frame, logicalWidth(box), logicalHeight(box));
    libdecor_frame_set_max_content_size(box.frame, logicalWidth(box), logicalHeight(box));
}

// A buffer of the picture's size rounded up to the buffer scale, the
// padding in the face's colour. The old buffer stays until a new one is
// made.
bool fitBuffer(WaylandBox& box, const BufferScale& scale) {
    const int width = roundedUp(box.dialog.pixels.width, scale.scale);
    const int height = roundedUp(box.dialog.pixels.height, scale.scale);
    if (box.buffer.buffer != nullptr && box.buffer.width == width && box.buffer.height == height) {
        return true;
    }
    ShmBuffer fitted;
    if (!waylandMakeBuffer(fitted, width, height)) {
        return false;
    }
    waylandFreeBuffer(box.buffer);
    box.buffer = fitted;
    return true;
}

// A new scale: the same picture, another logical size, taken unasked as
// the client of a fixed size. Without memory for a new buffer the box
// stays as it was, and the compositor scales it.
void followScale(void* owner) {
    WaylandBox& box = *static_cast<WaylandBox*>(owner);
    const BufferScale scale =
        waylandBufferScale(waylandWantedFactor(box.scaleWatch), box.viewport != nullptr);
    if (scale == box.scale || box.frame == nullptr || !fitBuffer(box, scale)) {
        return;
    }
    box.scale = scale;
    box.input.factor = scale.factor;
    setFixedSize(box);
    if (box.configured) {
        commitSize(box, nullptr);
        present(box);
    }
}

void layOut(WaylandBox& box, const char* text, const char* caption, UINT type) {
    const WaylandOutput* output = waylandFirstOutput();
    const DialogScreen screen{kDefaultDpi * box.scale.factor,
                              output != nullptr ? output->modeWidth : 0,
                              output != nullptr ? output->modeHeight : 0};
    box.dialog = openDialogBox(text, caption, type, screen);
}

void closeBox(WaylandBox& box) {
    waylandUnwatchScale(box.scaleWatch);
    if (box.frame != nullptr) {
        libdecor_frame_unref(box.frame);
    }
    if (box.viewport != nullptr) {
        wp_viewport_destroy(box.viewport);
    }
    if (box.input.surface != nullptr) {
        wl_surface_destroy(box.input.surface);
    }
    waylandFreeBuffer(box.buffer);
    wl_display_flush(wl.display);
}

}  // namespace

int waylandMessageBox(WindowRecord* owner, const char* text, const char* caption, UINT type) {
    WaylandBox box;
    box.input.surface = wl_compositor_create_surface(wl.compositor);
    if (wl.viewporter != nullptr) {
        box.viewport = wp_viewporter_get_viewport(wl.viewporter, box.input.surface);
    }
    waylandWatchScale(box.scaleWatch, box.input.surface, box.viewport != nullptr, followScale,
                      &box);
    box.scale = waylandBufferScale(waylandWantedFactor(box.scaleWatch), box.viewport != nullptr);
    box.input.data = &box;
    box.input.factor = box.scale.factor;
    box.input.pointer = onPointer;
    box.input.key = onKey;
    layOut(box, text, caption, type);
    if (!fitBuffer(box, box.scale)) {
        std::fprintf(stderr, "morvane: cannot make a buffer to show the message box \"%s\"\n",
                     caption);
        closeBox(box);
        return dialogDefaultAnswer();
    }
    box.frame = libdecor_decorate(wl.decor, box.input.surface, &boxFrameInterface, &box);
    libdecor_frame_set_title(box.frame, caption);
    libdecor_frame_set_app_id(box.frame, "morvane");
    setFixedSize(box);
    libdecor_frame_unset_capabilities(box.frame, LIBDECOR_ACTION_RESIZE);
    WaylandWindow* ownerWindow = owner != nullptr ? waylandWindowOf(*owner) : nullptr;
    if (ownerWindow != nullptr && ownerWindow->frame != nullptr) {
        libdecor_frame_set_parent(box.frame, ownerWindow->frame);
    }
    libdecor_frame_map(box.frame);
    wl_surface_commit(box.input.surface);

    BoxInput* outer = wl.box;  // a box shown from inside another's owner
    wl.box = &box.input;
    while (!box.closed) {
        if (box.configured && coreWarmUpWaiting() && waylandIdle()) {
            coreStartWarmUp();
        }
        if (!waylandWait()) {
            waylandFail("lost the connection to the Wayland compositor");
        }
    }
    wl.box = outer;
    closeBox(box);
    return box.answer;
}
