// MessageBoxA as a modal Wayland toplevel: the picture platform/dialog
// draws, at 96 dpi times the output scale, shown from a wl_shm buffer with
// that buffer scale, in a libdecor frame titled with the caption and set as
// a child of its owner. platform/dialog decides what the keys and the button
// do; the frame's close button dismisses it too. It returns only then.
// Events for the program's windows that arrive meanwhile go to their queue.
//
// Depends on: libwayland-client, libdecor, platform/dialog (FreeType and
// fontconfig).
// Cannot: a place on the screen (the compositor chooses).
#include <algorithm>
#include <cstdio>

#include "platform/dialog/dialog_box.h"
#include "platform/wayland/wayland_layer.h"

namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

struct WaylandBox {
    BoxInput input;
    libdecor_frame* frame = nullptr;
    ShmBuffer buffer;
    DialogBox dialog;
    int scale = 1;
    int width = 0;  // the buffer, device pixels: the picture rounded up to the scale
    int height = 0;
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

void present(WaylandBox& box) {
    const DialogPixels& pixels = box.dialog.pixels;
    // The unused byte is set all the same: some renderers read it as alpha.
    std::fill(box.buffer.pixels, box.buffer.pixels + box.width * box.height, kOpaque | kDialogFace);
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* from = pixels.xrgb.data() + static_cast<std::size_t>(y) * pixels.width;
        std::uint32_t* to = box.buffer.pixels + static_cast<std::size_t>(y) * box.width;
        for (int x = 0; x < pixels.width; ++x) {
            to[x] = kOpaque | from[x];
        }
    }
    wl_surface* surface = box.input.surface;
    wl_surface_set_buffer_scale(surface, box.scale);
    wl_surface_attach(surface, box.buffer.buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, box.width / box.scale, box.height / box.scale);
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
void onConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
    auto& box = *static_cast<WaylandBox*>(data);
    int width = box.width / box.scale;
    int height = box.height / box.scale;
    libdecor_window_state windowState = LIBDECOR_WINDOW_STATE_NONE;
    int imposedWidth = 0;
    int imposedHeight = 0;
    if (libdecor_configuration_get_window_state(configuration, &windowState) &&
        (windowState & LIBDECOR_WINDOW_STATE_FULLSCREEN) != 0 &&
        libdecor_configuration_get_content_size(configuration, frame, &imposedWidth,
                                                &imposedHeight) &&
        imposedWidth > 0 && imposedHeight > 0) {
        width = std::min(width, imposedWidth);
        height = std::min(height, imposedHeight);
    }
    libdecor_state* state = libdecor_state_new(width, height);
    libdecor_frame_commit(frame, state, configuration);
    libdecor_state_free(state);
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

void layOut(WaylandBox& box, const char* text, const char* caption, UINT type) {
    const WaylandOutput* output = waylandFirstOutput();
    const DialogScreen screen{kDefaultDpi * box.scale, output != nullptr ? output->modeWidth : 0,
                              output != nullptr ? output->modeHeight : 0};
    box.dialog = openDialogBox(text, caption, type, screen);
    box.width = roundedUp(box.dialog.pixels.width, box.scale);
    box.height = roundedUp(box.dialog.pixels.height, box.scale);
}

void closeBox(WaylandBox& box) {
    if (box.frame != nullptr) {
        libdecor_frame_unref(box.frame);
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
    box.scale = waylandScale();
    box.input.data = &box;
    box.input.scale = box.scale;
    box.input.pointer = onPointer;
    box.input.key = onKey;
    layOut(box, text, caption, type);
    if (!waylandMakeBuffer(box.buffer, box.width, box.height)) {
        std::fprintf(stderr, "morvane: cannot make a buffer to show the message box \"%s\"\n",
                     caption);
        return dialogDefaultAnswer();
    }
    box.input.surface = wl_compositor_create_surface(wl.compositor);
    box.frame = libdecor_decorate(wl.decor, box.input.surface, &boxFrameInterface, &box);
    libdecor_frame_set_title(box.frame, caption);
    libdecor_frame_set_app_id(box.frame, "morvane");
    libdecor_frame_set_min_content_size(box.frame, box.width / box.scale, box.height / box.scale);
    libdecor_frame_set_max_content_size(box.frame, box.width / box.scale, box.height / box.scale);
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
        if (!waylandWait()) {
            waylandFail("lost the connection to the Wayland compositor");
        }
    }
    wl.box = outer;
    closeBox(box);
    return box.answer;
}
