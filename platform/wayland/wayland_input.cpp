// The seat: pointer, keyboard and touch events turned into Win32 messages,
// devices released and asked for again as they come and go, with
// xkbcommon for keysyms and characters, the arrow cursor, and wl_shm
// buffers.
//
// Depends on: libwayland-client, libwayland-cursor, xkbcommon, memfd.
// Cannot: buttons other than the left one, the wheel, or more than one
// finger (the first acts as the left button). Held keys repeat
// here, at the compositor's rate, since Wayland leaves that to clients;
// message boxes get no repeats.
// Client coordinates are the GL drawable's, in device pixels; while a button
// is held the compositor keeps reporting to the surface it was pressed on,
// so they run negative and past the size, as under a capture on Win32.
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-cursor.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "platform/wayland/wayland_layer.h"

namespace {

using Clock = std::chrono::steady_clock;

// The key that repeats: the last one pressed, while it is held.
struct KeyRepeat {
    std::int32_t rate = 25;  // per second, 0 = none; until the compositor says
    std::int32_t delayMs = 600;
    xkb_keycode_t keycode = 0;  // 0 = nothing held
    Clock::time_point pressedAt{};
    std::uint32_t pressTime = 0;  // the press's own time stamp, ms
    Clock::time_point next{};
};

KeyRepeat repeat;

void stopRepeat() {
    repeat.keycode = 0;
}

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

bool onBox(wl_surface* surface) {
    return wl.box != nullptr && surface != nullptr && wl.box->surface == surface;
}

void boxPointer(double x, double y, bool pressed, bool released) {
    const int scale = wl.box->scale;
    wl.box->pointer(*wl.box, static_cast<int>(std::floor(x * scale)),
                    static_cast<int>(std::floor(y * scale)), pressed, released);
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
    const bool ours = waylandRecordOf(surface) != nullptr || onBox(surface);
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
    if (onBox(wl.pointerFocus)) {
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
    if (onBox(wl.pointerFocus)) {
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

void onKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) {
        return;
    }
    xkb_keymap* keymap =
        xkb_keymap_new_from_string(wl.xkb, static_cast<const char*>(text),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) {
        return;
    }
    stopRepeat();  // its key code may mean another key now
    xkb_state_unref(wl.keyState);
    xkb_keymap_unref(wl.keymap);
    wl.keymap = keymap;
    wl.keyState = xkb_state_new(keymap);
}

void onKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    wl.keyboardFocus = surface;
}

void onKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    wl.keyboardFocus = nullptr;
    stopRepeat();
}

// The character travels in lPrivate for TranslateMessage: Latin-1 only,
// as the X11 layer gives.
DWORD characterOf(xkb_keycode_t keycode) {
    const std::uint32_t character = xkb_state_key_get_utf32(wl.keyState, keycode);
    return character > 0 && character < 256 ? character : 0;
}

// The character rides in lPrivate. Repeats are key-downs as Win32 sends
// them; X servers send a release and a press instead.
void postKey(WindowRecord& record, xkb_keycode_t keycode, bool pressed, bool repeated,
             std::uint32_t time) {
    corePostKey(record, {.keysym = xkb_state_key_get_one_sym(wl.keyState, keycode),
                         .keycode = keycode,
                         .pressed = pressed,
                         .repeated = repeated,
                         .time = time,
                         .privateData = pressed ? characterOf(keycode) : 0});
}

// A modifier pressed meanwhile leaves the held key repeating, as X does.
void startRepeat(xkb_keycode_t keycode, std::uint32_t time) {
    if (repeat.rate <= 0 || !xkb_keymap_key_repeats(wl.keymap, keycode)) {
        return;
    }
    repeat.keycode = keycode;
    repeat.pressedAt = Clock::now();
    repeat.pressTime = time;
    repeat.next = repeat.pressedAt + std::chrono::milliseconds(repeat.delayMs);
}

void onKey(void*, wl_keyboard*, uint32_t, uint32_t time, uint32_t key, uint32_t state) {
    if (wl.keyState == nullptr) {
        return;
    }
    const xkb_keycode_t keycode = key + 8;  // evdev to X key codes
    const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    if (pressed) {
        startRepeat(keycode, time);
    } else if (keycode == repeat.keycode) {
        stopRepeat();
    }
    if (onBox(wl.keyboardFocus)) {
        if (pressed) {
            wl.box->key(*wl.box, xkb_state_key_get_one_sym(wl.keyState, keycode));
        }
        return;
    }
    WindowRecord* record = waylandRecordOf(wl.keyboardFocus);
    if (record != nullptr) {
        postKey(*record, keycode, pressed, false, time);
    }
}

void onModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                 uint32_t locked, uint32_t group) {
    if (wl.keyState != nullptr) {
        xkb_state_update_mask(wl.keyState, depressed, latched, locked, 0, 0, group);
    }
}

void onRepeatInfo(void*, wl_keyboard*, int32_t rate, int32_t delay) {
    repeat.rate = rate;
    repeat.delayMs = std::max(delay, 0);
    if (rate <= 0) {
        stopRepeat();
    }
}

const wl_keyboard_listener kKeyboardListener = [] {
    wl_keyboard_listener listener{};
    listener.keymap = onKeymap;
    listener.enter = onKeyboardEnter;
    listener.leave = onKeyboardLeave;
    listener.key = onKey;
    listener.modifiers = onModifiers;
    listener.repeat_info = onRepeatInfo;
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
    const bool box = onBox(touched.surface);
    POINT point{};
    if (box) {
        point = {static_cast<LONG>(std::floor(touched.x * wl.box->scale)),
                 static_cast<LONG>(std::floor(touched.y * wl.box->scale))};
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
    wl.keyboardFocus = nullptr;
    stopRepeat();
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
        wl.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(wl.keyboard, &kKeyboardListener, nullptr);
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

int waylandRepeatTimeout() {
    if (repeat.keycode == 0) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(repeat.next - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// One repeat per call at most; repeats missed while the program was busy
// are dropped rather than sent in a burst.
void waylandPostDueRepeat() {
    const auto now = Clock::now();
    if (repeat.keycode == 0 || now < repeat.next) {
        return;
    }
    WindowRecord* record = onBox(wl.keyboardFocus) ? nullptr : waylandRecordOf(wl.keyboardFocus);
    if (record == nullptr || wl.keyState == nullptr) {
        stopRepeat();
        return;
    }
    const auto held = std::chrono::duration_cast<std::chrono::milliseconds>(now - repeat.pressedAt);
    postKey(*record, repeat.keycode, true, true,
            repeat.pressTime + static_cast<std::uint32_t>(held.count()));
    // At most one a millisecond: the protocol sets no upper rate.
    const auto interval = std::max<std::chrono::microseconds>(
        std::chrono::milliseconds(1), std::chrono::microseconds(1000000) / repeat.rate);
    repeat.next += interval;
    if (repeat.next <= now) {
        repeat.next = now + interval;
    }
}

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

bool waylandMakeBuffer(ShmBuffer& buffer, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    const int fd = memfd_create("morvane-shm", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(wl.shm, fd, static_cast<int32_t>(bytes));
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride),
                                              WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    buffer.pixels = static_cast<std::uint32_t*>(pixels);
    buffer.bytes = bytes;
    buffer.width = width;
    buffer.height = height;
    return true;
}

void waylandFreeBuffer(ShmBuffer& buffer) {
    if (buffer.buffer != nullptr) {
        wl_buffer_destroy(buffer.buffer);
    }
    if (buffer.pixels != nullptr) {
        munmap(buffer.pixels, buffer.bytes);
    }
    buffer = ShmBuffer{};
}
