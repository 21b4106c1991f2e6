// The program's icon 101: the XPM picture in platform/icon turned into the
// 32-bit ARGB rows of _NET_WM_ICON.
//
// Depends on: Xlib (XChangeProperty). Reads the XPM subset that picture
// uses: one or two characters per pixel, colours as #RRGGBB, #RGB or None.
// Cannot: named colours, or any icon other than 101.
#include "platform/x11/x11_layer.h"

#include <X11/Xatom.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

#include "platform/icon/morvane_icon.xpm"

constexpr int kMaxIconSide = 256;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "#RRGGBB" or "#RGB" to opaque ARGB, "None" to transparent; false otherwise.
bool parseColour(const std::string& value, std::uint32_t* argb) {
    if (strcasecmp(value.c_str(), "None") == 0) {
        *argb = 0;
        return true;
    }
    if (value.empty() || value[0] != '#' || (value.size() != 7 && value.size() != 4)) {
        return false;
    }
    const std::size_t digits = value.size() - 1;
    const std::size_t perChannel = digits / 3;
    std::uint32_t rgb = 0;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        int level = 0;
        for (std::size_t i = 0; i < perChannel; ++i) {
            const int d = hexDigit(value[1 + channel * perChannel + i]);
            if (d < 0) {
                return false;
            }
            level = level * 16 + d;
        }
        rgb = (rgb << 8) | static_cast<std::uint32_t>(perChannel == 1 ? level * 17 : level);
    }
    *argb = 0xFF000000u | rgb;
    return true;
}

// A colour line: the pixel key, then pairs of context and value; only the
// "c" (colour display) value is used.
bool parseColourLine(const char* line, int charsPerPixel,
                     std::map<std::string, std::uint32_t>* colours) {
    if (line == nullptr || std::strlen(line) < static_cast<std::size_t>(charsPerPixel)) {
        return false;
    }
    const std::string key(line, static_cast<std::size_t>(charsPerPixel));
    char context[16] = {};
    char value[32] = {};
    const char* rest = line + charsPerPixel;
    int used = 0;
    while (std::sscanf(rest, " %15s %31s%n", context, value, &used) == 2) {
        if (std::strcmp(context, "c") == 0) {
            std::uint32_t argb = 0;
            if (!parseColour(value, &argb)) {
                return false;
            }
            (*colours)[key] = argb;
            return true;
        }
        rest += used;
    }
    return false;
}

}  // namespace

IconImage x11ParseXpm(const char* const* lines, std::size_t lineCount) {
    int width = 0;
    int height = 0;
    int colourCount = 0;
    int charsPerPixel = 0;
    if (lines == nullptr || lineCount == 0 || lines[0] == nullptr ||
        std::sscanf(lines[0], "%d %d %d %d", &width, &height, &colourCount, &charsPerPixel) != 4 ||
        width < 1 || height < 1 || width > kMaxIconSide || height > kMaxIconSide ||
        colourCount < 1 || colourCount > 256 || charsPerPixel < 1 || charsPerPixel > 2 ||
        lineCount < 1 + static_cast<std::size_t>(colourCount) + static_cast<std::size_t>(height)) {
        return {};
    }
    std::map<std::string, std::uint32_t> colours;
    for (int i = 0; i < colourCount; ++i) {
        if (!parseColourLine(lines[1 + i], charsPerPixel, &colours)) {
            return {};
        }
    }
    IconImage image;
    image.width = width;
    image.height = height;
    image.argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::size_t rowLength = static_cast<std::size_t>(width * charsPerPixel);
    for (int y = 0; y < height; ++y) {
        const char* row = lines[1 + colourCount + y];
        if (row == nullptr || std::strlen(row) < rowLength) {
            return {};
        }
        for (int x = 0; x < width; ++x) {
            auto found = colours.find(
                std::string(row + x * charsPerPixel, static_cast<std::size_t>(charsPerPixel)));
            if (found == colours.end()) {
                return {};
            }
            image.argb.push_back(found->second);
        }
    }
    return image;
}

const IconImage& x11ProgramIcon() {
    static const IconImage icon =
        x11ParseXpm(morvane_icon_xpm, sizeof morvane_icon_xpm / sizeof morvane_icon_xpm[0]);
    return icon;
}

// _NET_WM_ICON: width, height, then the pixels, each in a long as Xlib
// wants for 32-bit properties.
void x11SetIconProperty(Window xwindow, HICON icon) {
    const IconImage& image = x11ProgramIcon();
    if (icon != coreProgramIcon() || image.argb.empty()) {
        return;
    }
    std::vector<unsigned long> property;
    property.reserve(image.argb.size() + 2);
    property.push_back(static_cast<unsigned long>(image.width));
    property.push_back(static_cast<unsigned long>(image.height));
    property.insert(property.end(), image.argb.begin(), image.argb.end());
    XChangeProperty(x11.display, xwindow, x11.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(property.data()),
                    static_cast<int>(property.size()));
}
