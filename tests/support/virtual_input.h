// A test's own pointer and keyboard on a wlroots compositor (sway), made
// over its virtual-pointer and virtual-keyboard protocols, which can be
// unplugged and plugged again: the seat loses and regains the capability.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry_listener;
struct wl_seat;
struct wl_proxy;

// A test's own client connection to the compositor the environment
// (WAYLAND_DISPLAY=..., XDG_RUNTIME_DIR=...) names, once the listener has
// been offered its globals; null when it fails.
wl_display* connectTestClient(const std::vector<std::string>& environment,
                              const wl_registry_listener& listener, void* data);

class VirtualInput {
public:
    // environment: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=..., as the
    // compositor's clientEnvironment() gives them. The devices join the
    // seat of that name, or the first seat offered when it is empty.
    explicit VirtualInput(const std::vector<std::string>& environment,
                          const std::string& seatName = {});
    ~VirtualInput();
    VirtualInput(const VirtualInput&) = delete;
    VirtualInput& operator=(const VirtualInput&) = delete;

    // Connected, with both managers offered.
    bool ready() const;

    // Each returns once the compositor has handled it.
    bool plugKeyboard();
    bool unplugKeyboard();
    bool plugPointer();
    bool unplugPointer();

    // evdev key codes (linux/input-event-codes.h), pressed then released.
    bool tap(std::uint32_t key);
    // Layout coordinates, against the layout's extent.
    bool moveTo(int x, int y, int extentWidth, int extentHeight);
    bool leftButton(bool pressed);

    // The globals, for the registry's and the seats' listeners.
    void offerSeat(wl_seat* offered);
    void nameSeat(wl_seat* named, const char* name);
    wl_seat* seat = nullptr;
    wl_proxy* pointerManager = nullptr;
    wl_proxy* keyboardManager = nullptr;

private:
    bool sync();

    wl_display* display_ = nullptr;
    wl_proxy* keyboard_ = nullptr;
    wl_proxy* pointer_ = nullptr;
    std::string seatName_;
    std::uint32_t time_ = 1;
};
