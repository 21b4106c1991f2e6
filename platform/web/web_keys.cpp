#include "platform/web/web_keys.h"

#include <array>

namespace {

struct NamedKey {
    std::string_view name;
    WebKey key;
};

// The named keys the other backends map too; those that type something
// carry the same control character as on Win32.
constexpr std::array<NamedKey, 15> kNamedKeys = {{
    {"Backspace", {0x08, 8}},
    {"Tab", {0x09, 9}},
    {"Enter", {0x0D, 13}},
    {"Shift", {0x10, -1}},
    {"Control", {0x11, -1}},
    {"Alt", {0x12, -1}},
    {"Escape", {0x1B, 27}},
    {"Esc", {0x1B, 27}},
    {"ArrowLeft", {0x25, -1}},
    {"ArrowUp", {0x26, -1}},
    {"ArrowRight", {0x27, -1}},
    {"ArrowDown", {0x28, -1}},
    {"Delete", {0x2E, 127}},
    {"Left", {0x25, -1}},
    {"Right", {0x27, -1}},
}};

WebKey functionKey(std::string_view key) {
    if (key.size() < 2 || key.size() > 3 || key[0] != 'F') {
        return {0, -1};
    }
    int number = 0;
    for (char digit : key.substr(1)) {
        if (digit < '0' || digit > '9') {
            return {0, -1};
        }
        number = number * 10 + (digit - '0');
    }
    if (number < 1 || number > 12) {
        return {0, -1};
    }
    return {static_cast<std::uint32_t>(0x70 + number - 1), -1};
}

}  // namespace

WebKey webKeyFromDom(std::string_view key) {
    if (key.size() == 1) {
        const char c = key[0];
        const auto character = static_cast<int>(static_cast<unsigned char>(c));
        if (c >= 'a' && c <= 'z') {
            return {static_cast<std::uint32_t>(c - 'a' + 'A'), character};
        }
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            return {static_cast<std::uint32_t>(c), character};
        }
        if (c == ' ') {
            return {0x20, ' '};
        }
        return {0, -1};
    }
    for (const NamedKey& named : kNamedKeys) {
        if (named.name == key) {
            return named.key;
        }
    }
    return functionKey(key);
}
