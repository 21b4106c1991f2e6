#include "tests/support/x_windows.h"

#include <X11/Xatom.h>

namespace {

// Reads a whole property of the given type; empty when absent or mistyped.
template <typename Item>
std::vector<Item> readProperty(Display* display, Window window, const char* name, Atom type,
                               int format) {
    const Atom property = XInternAtom(display, name, False);
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1L << 24, False, type,
                                          &actualType, &actualFormat, &count, &remaining, &data);
    std::vector<Item> items;
    if (status == Success && data != nullptr && actualType == type && actualFormat == format) {
        const auto* first = reinterpret_cast<const Item*>(data);
        items.assign(first, first + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return items;
}

}  // namespace

std::vector<Window> childWindows(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> windows;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        windows.assign(children, children + count);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return windows;
}

std::vector<Window> topLevelWindows(Display* display) {
    return childWindows(display, DefaultRootWindow(display));
}

std::optional<std::string> wmName(Display* display, Window window) {
    XTextProperty text{};
    if (XGetWMName(display, window, &text) == 0 || text.value == nullptr) {
        return std::nullopt;
    }
    std::string name(reinterpret_cast<const char*>(text.value), text.nitems);
    XFree(text.value);
    return name;
}

std::optional<std::string> netWmName(Display* display, Window window) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const auto bytes = readProperty<char>(display, window, "_NET_WM_NAME", utf8, 8);
    if (bytes.empty()) {
        return std::nullopt;
    }
    return std::string(bytes.begin(), bytes.end());
}

std::string windowTitle(Display* display, Window window) {
    if (auto name = netWmName(display, window)) {
        return *name;
    }
    return wmName(display, window).value_or("");
}

std::optional<WmClass> wmClass(Display* display, Window window) {
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) == 0) {
        return std::nullopt;
    }
    WmClass result{hint.res_name != nullptr ? hint.res_name : "",
                   hint.res_class != nullptr ? hint.res_class : ""};
    XFree(hint.res_name);
    XFree(hint.res_class);
    return result;
}

Window transientFor(Display* display, Window window) {
    Window owner = None;
    if (XGetTransientForHint(display, window, &owner) == 0) {
        return None;
    }
    return owner;
}

std::optional<XSizeHints> normalHints(Display* display, Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display, window, &hints, &supplied) == 0) {
        return std::nullopt;
    }
    return hints;
}

std::vector<unsigned long> netWmIcon(Display* display, Window window) {
    // Xlib hands 32-bit items back as sign-extended longs.
    auto items = readProperty<unsigned long>(display, window, "_NET_WM_ICON", XA_CARDINAL, 32);
    for (auto& item : items) {
        item &= 0xFFFFFFFFul;
    }
    return items;
}

std::optional<WindowGeometry> windowGeometry(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        return std::nullopt;
    }
    WindowGeometry geometry;
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    geometry.viewable = attributes.map_state == IsViewable;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &geometry.x,
                          &geometry.y, &child);
    return geometry;
}

bool hasDeleteProtocol(Display* display, Window window) {
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
        return false;
    }
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    bool found = false;
    for (int i = 0; i < count; ++i) {
        found = found || protocols[i] == deleteWindow;
    }
    XFree(protocols);
    return found;
}

namespace {

// Depth first from the top: a window that is not viewable has no viewable
// descendants, so its subtree is skipped.
std::optional<Window> findViewableWithin(Display* display, Window parent,
                                         const std::function<bool(Window)>& matches) {
    const auto windows = childWindows(display, parent);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto geometry = windowGeometry(display, *it);
        if (!geometry || !geometry->viewable) {
            continue;
        }
        if (matches(*it)) {
            return *it;
        }
        if (auto inner = findViewableWithin(display, *it, matches)) {
            return inner;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Window> findViewableWindow(Display* display,
                                         const std::function<bool(Window)>& matches) {
    return findViewableWithin(display, DefaultRootWindow(display), matches);
}

std::optional<Window> findViewableByTitle(Display* display, const std::string& title) {
    return findViewableWindow(display, [&](Window w) { return windowTitle(display, w) == title; });
}

std::optional<Window> findViewableByClass(Display* display, const std::string& className) {
    return findViewableWindow(display, [&](Window w) {
        const auto names = wmClass(display, w);
        return names && names->className == className;
    });
}
