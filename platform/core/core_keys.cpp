// Key messages for keysyms, shared by both backends: X11 and xkbcommon
// number keysyms and key codes alike.
//
// Depends on: xkbcommon's keysym names (a header only).
// Cannot: keys not listed below; they report 0.
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/core.h"

WPARAM coreVirtualKey(std::uint32_t keysym) {
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) {
        return 'A' + (keysym - XKB_KEY_a);
    }
    if ((keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) ||
        (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9)) {
        return keysym;
    }
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F12) {
        return 0x70 + (keysym - XKB_KEY_F1);
    }
    switch (keysym) {
        case XKB_KEY_BackSpace:
            return 0x08;
        case XKB_KEY_Tab:
            return 0x09;
        case XKB_KEY_Return:
        case XKB_KEY_KP_Enter:
            return 0x0D;
        case XKB_KEY_Shift_L:
        case XKB_KEY_Shift_R:
            return 0x10;
        case XKB_KEY_Control_L:
        case XKB_KEY_Control_R:
            return 0x11;
        case XKB_KEY_Alt_L:
        case XKB_KEY_Alt_R:
            return 0x12;
        case XKB_KEY_Escape:
            return 0x1B;
        case XKB_KEY_space:
            return 0x20;
        case XKB_KEY_Left:
            return 0x25;
        case XKB_KEY_Up:
            return 0x26;
        case XKB_KEY_Right:
            return 0x27;
        case XKB_KEY_Down:
            return 0x28;
        case XKB_KEY_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

// Repeat count 1 and the key code as the scan code; bit 30 says the key was
// down before (a release, or a repeat), bit 31 that it is going up.
void corePostKey(const WindowRecord& record, const KeyInput& key) {
    constexpr LPARAM kPreviouslyDown = LPARAM{1} << 30;
    constexpr LPARAM kGoingUp = LPARAM{1} << 31;
    LPARAM lParam = 1 | (static_cast<LPARAM>(key.keycode & 0xff) << 16);
    if (!key.pressed) {
        lParam |= kPreviouslyDown | kGoingUp;
    } else if (key.repeated) {
        lParam |= kPreviouslyDown;
    }
    corePost(record, key.pressed ? WM_KEYDOWN : WM_KEYUP, coreVirtualKey(key.keysym), lParam,
             key.time, key.point, key.privateData);
}
