// The keyboard: keymaps through xkbcommon, key messages with their
// characters to the focused window or box, and the key repeat, which
// Wayland leaves to clients.
//
// Depends on: libwayland-client, xkbcommon, mmap for the keymap.
// Cannot: repeat keys in message boxes (they get none), or give
// characters past Latin-1. Held keys repeat at the compositor's rate, at
// most one a millisecond.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

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
    if (waylandOnBox(wl.keyboardFocus)) {
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

}  // namespace

void waylandTakeKeyboard(wl_seat* seat) {
    wl.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(wl.keyboard, &kKeyboardListener, nullptr);
}

void waylandForgetKeyboard() {
    wl.keyboardFocus = nullptr;
    stopRepeat();
}

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
    WindowRecord* record =
        waylandOnBox(wl.keyboardFocus) ? nullptr : waylandRecordOf(wl.keyboardFocus);
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
