// The primary monitor: the part of the X screen that Windows calls the
// primary screen, for the screen metrics and for centring message boxes.
//
// Depends on: RandR 1.5 (monitors), else Xinerama, else the X screen itself.
// Cannot: follow monitors that change while the program runs; it asks again
// each time, but nothing is told when the layout changes.
#include "platform/x11/x11_layer.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

bool hasArea(const BoxRect& r) {
    return r.width > 0 && r.height > 0;
}

std::vector<MonitorRect> randrMonitors() {
    std::vector<MonitorRect> found;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(x11.display, &eventBase, &errorBase) ||
        !XRRQueryVersion(x11.display, &major, &minor) || major * 100 + minor < 105) {
        return found;
    }
    int count = 0;
    XRRMonitorInfo* monitors =
        XRRGetMonitors(x11.display, RootWindow(x11.display, x11.screen), True, &count);
    for (int i = 0; monitors != nullptr && i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        found.push_back({{m.x, m.y, m.width, m.height}, m.primary != 0});
    }
    if (monitors != nullptr) {
        XRRFreeMonitors(monitors);
    }
    return found;
}

std::vector<BoxRect> xineramaHeads() {
    std::vector<BoxRect> found;
    int eventBase = 0;
    int errorBase = 0;
    if (!XineramaQueryExtension(x11.display, &eventBase, &errorBase) ||
        !XineramaIsActive(x11.display)) {
        return found;
    }
    int count = 0;
    XineramaScreenInfo* heads = XineramaQueryScreens(x11.display, &count);
    for (int i = 0; heads != nullptr && i < count; ++i) {
        found.push_back({heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height});
    }
    if (heads != nullptr) {
        XFree(heads);
    }
    return found;
}

}  // namespace

BoxRect x11ChoosePrimary(const std::vector<MonitorRect>& monitors,
                         const std::vector<BoxRect>& heads, const BoxRect& screen) {
    for (const MonitorRect& m : monitors) {
        if (m.primary && hasArea(m.box)) {
            return m.box;
        }
    }
    for (const MonitorRect& m : monitors) {
        if (m.box.x == 0 && m.box.y == 0 && hasArea(m.box)) {
            return m.box;
        }
    }
    if (!heads.empty() && hasArea(heads.front())) {
        return heads.front();
    }
    return screen;
}

BoxRect x11PrimaryMonitor() {
    if (x11Display() == nullptr) {
        return BoxRect{0, 0, 0, 0};
    }
    const BoxRect screen{0, 0, DisplayWidth(x11.display, x11.screen),
                         DisplayHeight(x11.display, x11.screen)};
    return x11ChoosePrimary(randrMonitors(), xineramaHeads(), screen);
}
