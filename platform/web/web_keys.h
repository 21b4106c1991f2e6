// DOM KeyboardEvent.key values to Win32 virtual keys and characters, for
// the web backend: the browser has already applied the keyboard layout and
// Shift, so "f" and "F" arrive as different keys.
//
// Depends on: nothing.
// Cannot: keys outside the table (they give virtual key 0 and no
// character), dead keys or input methods.
#pragma once

#include <cstdint>
#include <string_view>

struct WebKey {
    std::uint32_t virtualKey;  // 0: not a key the program can see
    int character;             // what WM_CHAR carries, or -1 for none
};

WebKey webKeyFromDom(std::string_view key);
