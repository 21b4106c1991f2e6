// The scale a window is shown at: which outputs its surface is on
// (wl_surface.enter and leave), their scales, and the compositor's
// preferred scale where it tells one (wp_fractional_scale_v1); and the
// drawable's sizes at that scale, its device size kept.
//
// Depends on: libwayland-client, wp_fractional_scale_v1 and wp_viewporter
// where offered.
// Cannot: know an output's fractional scale without xdg-output or the
// fractional-scale protocol; the whole scale it sends is then taken.
#include <algorithm>
#include <cmath>

#include "fractional-scale-v1-client.h"
#include "platform/wayland/wayland_layer.h"

namespace {

int roundedToScale(int pixels, int scale) {
    const int rounded = pixels - pixels % scale;
    return rounded > 0 ? rounded : scale;
}

bool entered(const WaylandWindow& window, const wl_output* output) {
    return std::find(window.entered.begin(), window.entered.end(), output) != window.entered.end();
}

}  // namespace

double waylandWantedFactor(const WaylandWindow& window) {
    if (window.preferred120 > 0) {
        return window.preferred120 / 120.0;
    }
    double factor = 0;
    for (const WaylandOutput& output : wl.outputs) {
        if (output.output != nullptr && entered(window, output.output)) {
            factor = std::max(factor, waylandOutputFactor(output));
        }
    }
    const WaylandOutput* first = waylandFirstOutput();
    if (factor <= 0) {
        factor = first != nullptr ? waylandOutputFactor(*first) : 1;
    }
    return std::max(factor, 1.0 / 120);
}

void waylandSizeDrawable(const WindowRecord& record, WaylandWindow& window, double factor) {
    const bool integer = std::abs(factor - std::round(factor)) < 1e-6;
    if (integer || window.viewport == nullptr) {
        window.scale = std::max(1, static_cast<int>(std::ceil(factor - 1e-6)));
        window.factor = window.scale;
        window.drawWidth = roundedToScale(record.width, window.scale);
        window.drawHeight = roundedToScale(record.height, window.scale);
        window.pictureWidth = window.drawWidth / window.scale;
        window.pictureHeight = window.drawHeight / window.scale;
        return;
    }
    window.scale = 1;
    window.factor = factor;
    window.drawWidth = std::max(record.width, 1);
    window.drawHeight = std::max(record.height, 1);
    window.pictureWidth = std::max(1, static_cast<int>(std::lround(window.drawWidth / factor)));
    window.pictureHeight = std::max(1, static_cast<int>(std::lround(window.drawHeight / factor)));
}

namespace {

void onSurfaceEnter(void* data, wl_surface*, wl_output* output) {
    auto* record = static_cast<WindowRecord*>(data);
    WaylandWindow* window = waylandWindowOf(*record);
    if (window != nullptr && !entered(*window, output)) {
        window->entered.push_back(output);
        waylandFollowScale(*record, *window);
    }
}

void onSurfaceLeave(void* data, wl_surface*, wl_output* output) {
    auto* record = static_cast<WindowRecord*>(data);
    WaylandWindow* window = waylandWindowOf(*record);
    if (window != nullptr) {
        std::erase(window->entered, output);
        waylandFollowScale(*record, *window);
    }
}

const wl_surface_listener kSurfaceListener = {.enter = onSurfaceEnter, .leave = onSurfaceLeave};

void onPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    auto* record = static_cast<WindowRecord*>(data);
    WaylandWindow* window = waylandWindowOf(*record);
    if (window != nullptr) {
        window->preferred120 = static_cast<int>(scale);
        waylandFollowScale(*record, *window);
    }
}

const wp_fractional_scale_v1_listener kFractionalListener = {.preferred_scale = onPreferredScale};

}  // namespace

void waylandWatchScale(WindowRecord& record, WaylandWindow& window) {
    wl_surface_add_listener(window.surface, &kSurfaceListener, &record);
    if (wl.fractionalScales != nullptr && window.viewport != nullptr) {
        window.fractionalScale = wp_fractional_scale_manager_v1_get_fractional_scale(
            wl.fractionalScales, window.surface);
        wp_fractional_scale_v1_add_listener(window.fractionalScale, &kFractionalListener, &record);
    }
}

void waylandOutputsChanged() {
    for (auto& record : core.windows) {
        WaylandWindow* window = record->alive ? waylandWindowOf(*record) : nullptr;
        if (window != nullptr) {
            waylandFollowScale(*record, *window);
        }
    }
}
