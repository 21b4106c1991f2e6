#include "tests/support/fake_touch.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "fake-input-client.h"
#include "tests/support/virtual_input.h"

namespace {

// Touch came with version 2.
constexpr std::uint32_t kTouchVersion = 2;

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
        static_cast<FakeTouch*>(data)->offer(registry, name, version);
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

}  // namespace

FakeTouch::FakeTouch(const std::vector<std::string>& environment) {
    display_ = connectTestClient(environment, kRegistryListener, this);
    if (input_ != nullptr) {
        // KWin takes events only from a device that has said who it is.
        org_kde_kwin_fake_input_authenticate(input_, "morvane tests", "touch input");
        wl_display_roundtrip(display_);
    }
}

FakeTouch::~FakeTouch() {
    if (display_ != nullptr) {
        wl_display_disconnect(display_);
    }
}

void FakeTouch::offer(wl_registry* registry, std::uint32_t name, std::uint32_t version) {
    if (version >= kTouchVersion) {
        input_ = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, std::min(version, kTouchVersion)));
    }
}

bool FakeTouch::frame() {
    org_kde_kwin_fake_input_touch_frame(input_);
    return wl_display_roundtrip(display_) >= 0;
}

bool FakeTouch::down(std::uint32_t id, double x, double y) {
    if (input_ == nullptr) {
        return false;
    }
    org_kde_kwin_fake_input_touch_down(input_, id, wl_fixed_from_double(x),
                                       wl_fixed_from_double(y));
    return frame();
}

bool FakeTouch::motion(std::uint32_t id, double x, double y) {
    if (input_ == nullptr) {
        return false;
    }
    org_kde_kwin_fake_input_touch_motion(input_, id, wl_fixed_from_double(x),
                                         wl_fixed_from_double(y));
    return frame();
}

bool FakeTouch::up(std::uint32_t id) {
    if (input_ == nullptr) {
        return false;
    }
    org_kde_kwin_fake_input_touch_up(input_, id);
    return frame();
}

bool FakeTouch::cancel() {
    if (input_ == nullptr) {
        return false;
    }
    org_kde_kwin_fake_input_touch_cancel(input_);
    return frame();
}

bool FakeTouch::tap(double x, double y) {
    return down(0, x, y) && up(0);
}
