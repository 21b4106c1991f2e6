// The scale a surface is shown at, for windows and message boxes alike:
// which outputs it is on (wl_surface.enter and leave), their scales, and
// the compositor's preferred scale where it tells one
// (wp_fractional_scale_v1); and how a buffer that keeps its size in
// device pixels is shown at that scale.
//
// Depends on: libwayland-client, wp_fractional_scale_v1 and wp_viewporter
// where offered.
// Cannot: know an output's fractional scale without xdg-output or the
// fractional-scale protocol; the whole scale it sends is then taken. A
// fractional scale without wp_viewporter is rounded up.
#include <algorithm>
#include <cmath>

#include "fractional-scale-v1-client.h"
#include "platform/wayland/wayland_layer.h"

namespace {

bool entered(const ScaleWatch& watch, const wl_output* output) {
    return std::find(watch.entered.begin(), watch.entered.end(), output) != watch.entered.end();
}

void onSurfaceEnter(void* data, wl_surface*, wl_output* output) {
    auto& watch = *static_cast<ScaleWatch*>(data);
    if (!entered(watch, output)) {
        watch.entered.push_back(output);
        watch.changed(watch.owner);
    }
}

void onSurfaceLeave(void* data, wl_surface*, wl_output* output) {
    auto& watch = *static_cast<ScaleWatch*>(data);
    std::erase(watch.entered, output);
    watch.changed(watch.owner);
}

const wl_surface_listener kSurfaceListener = {.enter = onSurfaceEnter, .leave = onSurfaceLeave};

void onPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    auto& watch = *static_cast<ScaleWatch*>(data);
    watch.preferred120 = static_cast<int>(scale);
    watch.changed(watch.owner);
}

const wp_fractional_scale_v1_listener kFractionalListener = {.preferred_scale = onPreferredScale};

}  // namespace

void waylandWatchScale(ScaleWatch& watch, wl_surface* surface, bool fractional,
                       void (*changed)(void* owner), void* owner) {
    watch.changed = changed;
    watch.owner = owner;
    wl_surface_add_listener(surface, &kSurfaceListener, &watch);
    if (wl.fractionalScales != nullptr && fractional) {
        watch.fractional =
            wp_fractional_scale_manager_v1_get_fractional_scale(wl.fractionalScales, surface);
        wp_fractional_scale_v1_add_listener(watch.fractional, &kFractionalListener, &watch);
    }
    wl.scaleWatches.push_back(&watch);
}

void waylandUnwatchScale(ScaleWatch& watch) {
    if (watch.fractional != nullptr) {
        wp_fractional_scale_v1_destroy(watch.fractional);
        watch.fractional = nullptr;
    }
    std::erase(wl.scaleWatches, &watch);
}

double waylandWantedFactor(const ScaleWatch& watch) {
    if (watch.preferred120 > 0) {
        return watch.preferred120 / 120.0;
    }
    double factor = 0;
    for (const WaylandOutput& output : wl.outputs) {
        if (output.output != nullptr && entered(watch, output.output)) {
            factor = std::max(factor, waylandOutputFactor(output));
        }
    }
    const WaylandOutput* first = waylandFirstOutput();
    if (factor <= 0) {
        factor = first != nullptr ? waylandOutputFactor(*first) : 1;
    }
    return std::max(factor, 1.0 / 120);
}

BufferScale waylandBufferScale(double factor, bool viewport) {
    const bool integer = std::abs(factor - std::round(factor)) < 1e-6;
    if (integer || !viewport) {
        const int scale = std::max(1, static_cast<int>(std::ceil(factor - 1e-6)));
        return {scale, static_cast<double>(scale)};
    }
    return {1, factor};
}

int waylandLogicalLength(int devicePixels, const BufferScale& scale) {
    return std::max(1, static_cast<int>(std::lround(devicePixels / scale.factor)));
}

// Listeners only post messages and commit surfaces: no watch comes or
// goes meanwhile.
void waylandOutputsChanged() {
    for (ScaleWatch* watch : wl.scaleWatches) {
        watch->changed(watch->owner);
    }
}

void waylandForgetOutput(const wl_output* output) {
    for (ScaleWatch* watch : wl.scaleWatches) {
        std::erase(watch->entered, output);
    }
}
