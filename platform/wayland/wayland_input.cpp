// The seat: pointer and touch events turned into Win32 messages, or
// passed to a message box, the arrow cursor, and devices released and
// asked for again as they come and go (the keyboard's own events are in
// wayland_keyboard.cpp).
//
// Depends on: libwayland-client, libwayland-cursor.
// Cannot: buttons other than the left one, the wheel, or more than one
// finger (the first acts as the left button).
// Client coordinates are the GL drawable's, in device pixels; while a button
// is held the compositor keeps reporting to the surface it was pressed on,
// so they run negative and past the size, as under a capture on Win32.
#include <linux/input-event-codes.h>
#include <wayland-cursor.h>

#include <cmath>
#include <cstdlib>

#include "platform/wayland/wayland_layer.h"

namespace {

// The arrow, loaded at the first pointer enter: a theme that does not load
// is not tried again, and the pointer keeps the compositor's cursor.
struct ArrowCursor {
    bool tried = false;
    wl_cursor_theme* theme = nullptr;
    wl_surface* surface = nullptr;
    wl_cursor_image* image = nullptr;
};

ArrowCursor arrowCursor;

// The connection closes with the process; the theme goes just before it.
void freeArrow() {
    wl_surface_destroy(arrowCursor.surface);
    wl_cursor_theme_destroy(arrowCursor.theme);
    arrowCursor = ArrowCursor{};
}

void loadArrow(int scale) {
    arrowCursor.tried = true;
    wl_cursor_theme* theme = wl_cursor_theme_load(nullptr, 24 * scale, wl.shm);
    wl_cursor* arrow = theme != nullptr ? wl_cursor_theme_get_cursor(theme, "left_ptr") : nullptr;
    if (arrow == nullptr || arrow->image_count == 0) {
        if (theme != nullptr) {
            wl_cursor_theme_destroy(theme);
        }
        return;
    }
    arrowCursor.theme = theme;
    arrowCursor.image = arrow->images[0];
    arrowCursor.surface = wl_compositor_create_surface(wl.compositor);
    std::atexit(freeArrow);
}

void showArrow(std::uint32_t serial) {
    const int scale = waylandScale();
    if (!arrowCursor.tried) {
        loadArrow(scale);
    }
    wl_cursor_image* image = arrowCursor.image;
    wl_surface* cursorSurface = arrowCursor.surface;
    if (image == nullptr) {
        return;
    }
    wl_surface_set_buffer_scale(cursorSurface, scale);
    wl_surface_attach(cursorSurface, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_damage(cursorSurface, 0, 0, static_cast<int>(image->width),
                      static_cast<int>(image->height));
    wl_surface_commit(cursorSurface);
    wl_pointer_set_cursor(wl.pointer, serial, cursorSurface,
                          static_cast<int>(image->hotspot_x) / scale,
                          static_cast<int>(image->hotspot_y) / scale);
}

// A point on one of the window's surfaces, logical, in the GL drawable's
// device pixels.
POINT clientPoint(const WaylandWindow& window, wl_surface* surface, double x, double y) {
    if (surface == window.surface) {
        x -= window.offsetX;
        y -= window.offsetY;
    } else {
        x += window.cropX;
        y += window.cropY;
    }
    return POINT{static_cast<LONG>(std::floor(x * window.factor)),
                 static_cast<LONG>(std::floor(y * window.factor))};
}

// A point on the box, logical, in the box's device pixels.
POINT boxPoint(double x, double y) {
    return POINT{static_cast<LONG>(std::floor(x * wl.box->factor)),
                 static_cast<LONG>(std::floor(y * wl.box->factor))};
}

void boxPointer(double x, double y, bool pressed, bool released) {
    const POINT point = boxPoint(x, y);
    wl.box->pointer(*wl.box, point.x, point.y, pressed, released);
}

// A pointer message, or a touch acting as the left button, to the window
// that owns the surface.
void postAt(wl_surface* surface, double x, double y, UINT message, WPARAM keys,
            std::uint32_t time) {
    WindowRecord* record = waylandRecordOf(surface);
    WaylandWindow* window = record != nullptr ? waylandWindowOf(*record) : nullptr;
    if (window == nullptr) {
        return;
    }
    const POINT point = clientPoint(*window, surface, x, y);
    corePost(*record, message, keys, corePointLParam(point.x, point.y), time, point);
}

void postPointer(UINT message, WPARAM keys, std::uint32_t time) {
    postAt(wl.pointerFocus, wl.pointerX, wl.pointerY, message, keys, time);
}

void onEnter(void*, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    // libdecor's own frame surfaces report here too; they are not ours.
    const bool ours = waylandRecordOf(surface) != nullptr || waylandOnBox(surface);
    wl.pointerFocus = ours ? surface : nullptr;
    wl.pointerX = wl_fixed_to_double(x);
    wl.pointerY = wl_fixed_to_double(y);
    if (ours) {
        showArrow(serial);
    }
}

void onLeave(void*, wl_pointer*, uint32_t, wl_surface*) {
    wl.pointerFocus = nullptr;
}

void onMotion(void*, wl_pointer*, uint32_t time, wl_fixed_t x, wl_fixed_t y) {
    wl.pointerX = wl_fixed_to_double(x);
    wl.pointerY = wl_fixed_to_double(y);
    if (waylandOnBox(wl.pointerFocus)) {
        boxPointer(wl.pointerX, wl.pointerY, false, false);
        return;
    }
    postPointer(WM_MOUSEMOVE, wl.buttonHeld ? kLeftButtonDown : 0, time);
}

void onButton(void*, wl_pointer*, uint32_t, uint32_t time, uint32_t button, uint32_t state) {
    if (button != BTN_LEFT) {
        return;
    }
    const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    wl.buttonHeld = pressed;
    if (waylandOnBox(wl.pointerFocus)) {
        boxPointer(wl.pointerX, wl.pointerY, pressed, !pressed);
        return;
    }
    postPointer(pressed ? WM_LBUTTONDOWN : WM_LBUTTONUP, pressed ? kLeftButtonDown : 0, time);
}

void onAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void onFrame(void*, wl_pointer*) {}
void onAxisSource(void*, wl_pointer*, uint32_t) {}
void onAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void onAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = [] {
    wl_pointer_listener listener{};
    listener.enter = onEnter;
    listener.leave = onLeave;
    listener.motion = onMotion;
    listener.button = onButton;
    listener.axis = onAxis;
    listener.frame = onFrame;
    listener.axis_source = onAxisSource;
    listener.axis_stop = onAxisStop;
    listener.axis_discrete = onAxisDiscrete;
    return listener;
}();

// Touches go to the left button through the core's mapping. The surface
// the finger went down on gets its later events, which name none.
struct TouchTarget {
    std::int32_t id = -1;
    wl_surface* surface = nullptr;
    double x = 0;  // surface-local, logical
    double y = 0;
};

TouchTarget touched;

// Box coordinates on a box, else client coordinates; false when the core
// ignored the finger.
bool touchAsMouse(TouchPhase phase, std::int32_t id, std::uint32_t time) {
    WindowRecord* record = waylandRecordOf(touched.surface);
    WaylandWindow* window = record != nullptr ? waylandWindowOf(*record) : nullptr;
    const bool box = waylandOnBox(touched.surface);
    POINT point{};
    if (box) {
        point = boxPoint(touched.x, touched.y);
    } else if (window != nullptr) {
        point = clientPoint(*window, touched.surface, touched.x, touched.y);
    }
    const TouchAsMouse mouse = coreTouchAsMouse(phase, id, point);
    if (mouse.message == 0) {
        return false;
    }
    if (box) {
        wl.box->pointer(*wl.box, mouse.point.x, mouse.point.y, mouse.message == WM_LBUTTONDOWN,
                        mouse.message == WM_LBUTTONUP);
    } else if (window != nullptr) {
        corePost(*record, mouse.message, mouse.keys, corePointLParam(mouse.point.x, mouse.point.y),
                 time, mouse.point);
    }
    return true;
}

void onTouchDown(void*, wl_touch*, uint32_t, uint32_t time, wl_surface* surface, int32_t id,
                 wl_fixed_t x, wl_fixed_t y) {
    const TouchTarget before = touched;
    touched = {id, surface, wl_fixed_to_double(x), wl_fixed_to_double(y)};
    if (!touchAsMouse(TouchPhase::down, id, time)) {
        touched = before;  // another finger is down
    }
}

void onTouchUp(void*, wl_touch*, uint32_t, uint32_t time, int32_t id) {
    touchAsMouse(TouchPhase::up, id, time);
}

void onTouchMotion(void*, wl_touch*, uint32_t time, int32_t id, wl_fixed_t x, wl_fixed_t y) {
    if (id != touched.id) {
        return;
    }
    touched.x = wl_fixed_to_double(x);
    touched.y = wl_fixed_to_double(y);
    touchAsMouse(TouchPhase::motion, id, time);
}

void onTouchFrame(void*, wl_touch*) {}

// The compositor took the touch over (a gesture).
void onTouchCancel(void*, wl_touch*) {
    touchAsMouse(TouchPhase::cancel, 0, 0);
}

const wl_touch_listener kTouchListener = [] {
    wl_touch_listener listener{};
    listener.down = onTouchDown;
    listener.up = onTouchUp;
    listener.motion = onTouchMotion;
    listener.frame = onTouchFrame;
    listener.cancel = onTouchCancel;
    return listener;
}();

// A device that went (unplugged, a KVM switched away) is released, and its
// state forgotten: a drag it was in gets no invented message, as on Win32,
// and the next press starts anew.
template <typename Device>
void release(Device*& device, void (*releaseRequest)(Device*), void (*destroy)(Device*),
             std::uint32_t releaseSince) {
    if (device == nullptr) {
        return;
    }
    const bool canRelease =
        wl_proxy_get_version(reinterpret_cast<wl_proxy*>(device)) >= releaseSince;
    (canRelease ? releaseRequest : destroy)(device);
    device = nullptr;
}

void dropPointer() {
    release(wl.pointer, wl_pointer_release, wl_pointer_destroy, WL_POINTER_RELEASE_SINCE_VERSION);
    wl.pointerFocus = nullptr;
    wl.buttonHeld = false;
}

void dropKeyboard() {
    release(wl.keyboard, wl_keyboard_release, wl_keyboard_destroy,
            WL_KEYBOARD_RELEASE_SINCE_VERSION);
    waylandForgetKeyboard();
}

void dropTouch() {
    release(wl.touch, wl_touch_release, wl_touch_destroy, WL_TOUCH_RELEASE_SINCE_VERSION);
    coreTouchAsMouse(TouchPhase::cancel, 0, {});  // forgotten, not sent
    touched = {};
}

// Devices follow the capabilities both ways: a replugged keyboard is a new
// wl_keyboard, the old one being dead.
void onCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool touch = (capabilities & WL_SEAT_CAPABILITY_TOUCH) != 0;
    wl.seatEmpty = !pointer && !keyboard && !touch;
    if (!pointer) {
        dropPointer();
    } else if (wl.pointer == nullptr) {
        wl.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(wl.pointer, &kPointerListener, nullptr);
    }
    if (!keyboard) {
        dropKeyboard();
    } else if (wl.keyboard == nullptr) {
        waylandTakeKeyboard(seat);
    }
    if (!touch) {
        dropTouch();
    } else if (wl.touch == nullptr) {
        wl.touch = wl_seat_get_touch(seat);
        wl_touch_add_listener(wl.touch, &kTouchListener, nullptr);
    }
}

void onSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {.capabilities = onCapabilities, .name = onSeatName};

}  // namespace

void waylandUnbindSeat(bool removed) {
    if (wl.seat == nullptr) {
        return;
    }
    dropPointer();
    dropKeyboard();
    dropTouch();
    if (removed) {
        // Only forgotten: wlroots 0.15 destroys a removed seat's object
        // itself, and a release would then be a protocol error.
        wl_seat_destroy(wl.seat);
        wl.seat = nullptr;
        return;
    }
    release(wl.seat, wl_seat_release, wl_seat_destroy, WL_SEAT_RELEASE_SINCE_VERSION);
}

void waylandBindSeat(wl_seat* seat) {
    wl.seat = seat;
    wl.seatEmpty = false;  // until it says
    if (wl.xkb == nullptr) {
        wl.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    }
    wl_seat_add_listener(seat, &kSeatListener, nullptr);
}
