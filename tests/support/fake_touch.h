// A test's own touch screen on KWin, over its fake-input protocol. KWin
// offers that protocol only to clients it trusts; a KwinServer started
// with fake input allowed trusts every client.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct org_kde_kwin_fake_input;

class FakeTouch {
public:
    // environment: WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=..., as the
    // compositor's clientEnvironment() gives them.
    explicit FakeTouch(const std::vector<std::string>& environment);
    ~FakeTouch();
    FakeTouch(const FakeTouch&) = delete;
    FakeTouch& operator=(const FakeTouch&) = delete;

    // Connected, and the protocol offered at a version with touch.
    bool ready() const { return input_ != nullptr; }

    // Global logical coordinates; each is one frame, and returns once the
    // compositor has handled it.
    bool down(std::uint32_t id, double x, double y);
    bool motion(std::uint32_t id, double x, double y);
    bool up(std::uint32_t id);
    bool cancel();
    // down and up in one place.
    bool tap(double x, double y);

    // For the registry's listener.
    void offer(wl_registry* registry, std::uint32_t name, std::uint32_t version);

private:
    bool frame();

    wl_display* display_ = nullptr;
    org_kde_kwin_fake_input* input_ = nullptr;
};
