// The two protocols' client side is written here by hand from their
// documented messages: Debian ships neither description.
#include "tests/support/virtual_input.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/compositor_process.h"

namespace {

// Argument types for messages with no object arguments.
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};

extern const wl_interface virtualPointer;
extern const wl_interface virtualKeyboard;

const wl_interface* createPointerTypes[] = {&wl_seat_interface, &virtualPointer};
const wl_message pointerManagerRequests[] = {
    {"create_virtual_pointer", "?on", createPointerTypes},
    {"destroy", "", noTypes},
};
const wl_interface pointerManagerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, pointerManagerRequests, 0, nullptr};

enum PointerRequest : std::uint32_t {
    kMotionAbsolute = 1,
    kButton = 2,
    kPointerFrame = 4,
    kPointerDestroy = 8,
};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},   {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},   {"axis", "uuf", noTypes},
    {"frame", "", noTypes},       {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes}, {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualPointer = {"zwlr_virtual_pointer_v1", 1, 9, pointerRequests, 0, nullptr};

const wl_interface* createKeyboardTypes[] = {&wl_seat_interface, &virtualKeyboard};
const wl_message keyboardManagerRequests[] = {
    {"create_virtual_keyboard", "on", createKeyboardTypes},
};
const wl_interface keyboardManagerInterface = {"zwp_virtual_keyboard_manager_v1", 1, 1,
                                               keyboardManagerRequests,           0, nullptr};

enum KeyboardRequest : std::uint32_t {
    kKeymap = 0,
    kKey = 1,
    kKeyboardDestroy = 3,
};
const wl_message keyboardRequests[] = {
    {"keymap", "uhu", noTypes},
    {"key", "uuu", noTypes},
    {"modifiers", "uuuu", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualKeyboard = {"zwp_virtual_keyboard_v1", 1, 4,
                                      keyboardRequests,          0, nullptr};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* input = static_cast<VirtualInput*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && version >= 2) {
        input->offerSeat(
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 2)));
    } else if (std::strcmp(interface, pointerManagerInterface.name) == 0) {
        input->pointerManager =
            static_cast<wl_proxy*>(wl_registry_bind(registry, name, &pointerManagerInterface, 1));
    } else if (std::strcmp(interface, keyboardManagerInterface.name) == 0) {
        input->keyboardManager =
            static_cast<wl_proxy*>(wl_registry_bind(registry, name, &keyboardManagerInterface, 1));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onSeatCapabilities(void*, wl_seat*, uint32_t) {}

void onSeatName(void* data, wl_seat* seat, const char* name) {
    static_cast<VirtualInput*>(data)->nameSeat(seat, name);
}

const wl_seat_listener kSeatListener = {onSeatCapabilities, onSeatName};

// xkbcommon's default keymap (us) as text in a sealed memfd.
int defaultKeymap(std::uint32_t& size) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = context != nullptr ? xkb_keymap_new_from_names(context, nullptr,
                                                                        XKB_KEYMAP_COMPILE_NO_FLAGS)
                                            : nullptr;
    char* text =
        keymap != nullptr ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    int fd = -1;
    if (text != nullptr) {
        size = static_cast<std::uint32_t>(std::strlen(text) + 1);
        fd = memfd_create("keymap", MFD_CLOEXEC);
        if (fd >= 0 && write(fd, text, size) != static_cast<ssize_t>(size)) {
            close(fd);
            fd = -1;
        }
    }
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return fd;
}

void destroy(wl_proxy*& proxy, std::uint32_t opcode) {
    if (proxy != nullptr) {
        wl_proxy_marshal_flags(proxy, opcode, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
        proxy = nullptr;
    }
}

}  // namespace

wl_display* connectTestClient(const std::vector<std::string>& environment,
                              const wl_registry_listener& listener, void* data) {
    // libwayland reads the runtime directory from the environment only.
    setenv("XDG_RUNTIME_DIR", environmentValue(environment, "XDG_RUNTIME_DIR").c_str(), 1);
    wl_display* display =
        wl_display_connect(environmentValue(environment, "WAYLAND_DISPLAY").c_str());
    if (display != nullptr) {
        wl_registry_add_listener(wl_display_get_registry(display), &listener, data);
        wl_display_roundtrip(display);
    }
    return display;
}

VirtualInput::VirtualInput(const std::vector<std::string>& environment, const std::string& seatName)
    : seatName_(seatName) {
    display_ = connectTestClient(environment, kRegistryListener, this);
    if (display_ != nullptr) {
        wl_display_roundtrip(display_);  // the seats' names
    }
}

void VirtualInput::offerSeat(wl_seat* offered) {
    if (seatName_.empty() && seat == nullptr) {
        seat = offered;
        return;
    }
    wl_seat_add_listener(offered, &kSeatListener, this);
}

void VirtualInput::nameSeat(wl_seat* named, const char* name) {
    if (seat == nullptr && seatName_ == name) {
        seat = named;
    }
}

VirtualInput::~VirtualInput() {
    if (display_ == nullptr) {
        return;
    }
    unplugKeyboard();
    unplugPointer();
    wl_display_disconnect(display_);
}

bool VirtualInput::ready() const {
    return display_ != nullptr && seat != nullptr && pointerManager != nullptr &&
           keyboardManager != nullptr;
}

bool VirtualInput::sync() {
    return wl_display_roundtrip(display_) >= 0;
}

bool VirtualInput::plugKeyboard() {
    if (!ready() || keyboard_ != nullptr) {
        return false;
    }
    std::uint32_t size = 0;
    const int fd = defaultKeymap(size);
    if (fd < 0) {
        return false;
    }
    keyboard_ = wl_proxy_marshal_flags(keyboardManager, 0, &virtualKeyboard, 1, 0, seat, nullptr);
    // A virtual keyboard needs its keymap before its first key.
    wl_proxy_marshal_flags(keyboard_, kKeymap, nullptr, 1, 0, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                           size);
    close(fd);
    return sync();
}

bool VirtualInput::unplugKeyboard() {
    destroy(keyboard_, kKeyboardDestroy);
    return display_ != nullptr && sync();
}

bool VirtualInput::plugPointer() {
    if (!ready() || pointer_ != nullptr) {
        return false;
    }
    pointer_ = wl_proxy_marshal_flags(pointerManager, 0, &virtualPointer, 1, 0, seat, nullptr);
    return sync();
}

bool VirtualInput::unplugPointer() {
    destroy(pointer_, kPointerDestroy);
    return display_ != nullptr && sync();
}

bool VirtualInput::tap(std::uint32_t key) {
    if (keyboard_ == nullptr) {
        return false;
    }
    for (const std::uint32_t state :
         {WL_KEYBOARD_KEY_STATE_PRESSED, WL_KEYBOARD_KEY_STATE_RELEASED}) {
        wl_proxy_marshal_flags(keyboard_, kKey, nullptr, 1, 0, time_++, key, state);
    }
    return sync();
}

bool VirtualInput::moveTo(int x, int y, int extentWidth, int extentHeight) {
    if (pointer_ == nullptr) {
        return false;
    }
    wl_proxy_marshal_flags(pointer_, kMotionAbsolute, nullptr, 1, 0, time_++,
                           static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                           static_cast<std::uint32_t>(extentWidth),
                           static_cast<std::uint32_t>(extentHeight));
    wl_proxy_marshal_flags(pointer_, kPointerFrame, nullptr, 1, 0);
    return sync();
}

bool VirtualInput::leftButton(bool pressed) {
    if (pointer_ == nullptr) {
        return false;
    }
    wl_proxy_marshal_flags(
        pointer_, kButton, nullptr, 1, 0, time_++, std::uint32_t{BTN_LEFT},
        pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    wl_proxy_marshal_flags(pointer_, kPointerFrame, nullptr, 1, 0);
    return sync();
}
