#include "tests/support/text_match.h"

#include <algorithm>

#include "platform/dialog/dialog_text.h"
#include "tests/support/screenshot.h"

namespace {

// Room around the pen's path for glyphs that reach past their cell.
constexpr int kPad = 16;

unsigned long allocate(Display* display, Rgb colour) {
    XColor c{};
    c.red = static_cast<unsigned short>(colour.r * 257);
    c.green = static_cast<unsigned short>(colour.g * 257);
    c.blue = static_cast<unsigned short>(colour.b * 257);
    c.flags = DoRed | DoGreen | DoBlue;
    const int screen = DefaultScreen(display);
    XAllocColor(display, DefaultColormap(display, screen), &c);
    return c.pixel;
}

// The pixmap with the line drawn at (kPad, kPad + ascent), read back.
std::optional<RgbImage> drawInPixmap(Display* display, XFontStruct* font, const std::string& line,
                                     Rgb ink, Rgb paper) {
    const int length = static_cast<int>(line.size());
    const int width = XTextWidth(font, line.data(), length) + 2 * kPad;
    const int height = font->ascent + font->descent + 2 * kPad;
    const int screen = DefaultScreen(display);
    const Pixmap pixmap = XCreatePixmap(display, RootWindow(display, screen),
                                        static_cast<unsigned>(width), static_cast<unsigned>(height),
                                        static_cast<unsigned>(DefaultDepth(display, screen)));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetFont(display, gc, font->fid);
    XSetForeground(display, gc, allocate(display, paper));
    XFillRectangle(display, pixmap, gc, 0, 0, static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
    XSetForeground(display, gc, allocate(display, ink));
    XDrawString(display, pixmap, gc, kPad, kPad + font->ascent, line.data(), length);
    // Read the way screenshots are, so both pass through the same conversion.
    auto image = capturePixmap(display, pixmap, width, height);
    XFreeGC(display, gc);
    XFreePixmap(display, pixmap);
    return image;
}

RgbImage crop(const RgbImage& image, int left, int top, int width, int height) {
    RgbImage part;
    part.width = width;
    part.height = height;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            part.pixels.push_back(image.at(x, y));
        }
    }
    return part;
}

bool matchesAt(const RgbImage& picture, const RgbImage& pattern, int left, int top) {
    for (int y = 0; y < pattern.height; ++y) {
        for (int x = 0; x < pattern.width; ++x) {
            if (picture.at(left + x, top + y) != pattern.at(x, y)) {
                return false;
            }
        }
    }
    return true;
}

// The drawing cut down to its inked pixels, with the pen's start kept.
std::optional<TextPattern> trimToInk(const RgbImage& drawn, int penX, int baselineY, int advance) {
    // The paper is compared as read back, not as asked for: the server may
    // have given the nearest colour it has.
    const Rgb readPaper = drawn.at(0, 0);
    int left = drawn.width, top = drawn.height, right = -1, bottom = -1;
    for (int y = 0; y < drawn.height; ++y) {
        for (int x = 0; x < drawn.width; ++x) {
            if (drawn.at(x, y) != readPaper) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < left) {
        return std::nullopt;
    }
    return TextPattern{crop(drawn, left, top, right - left + 1, bottom - top + 1), penX - left,
                       baselineY - top, advance};
}

}  // namespace

std::optional<TextPattern> drawTextPattern(Display* display, const std::string& fontName,
                                           const std::string& line, Rgb ink, Rgb paper) {
    XFontStruct* font = XLoadQueryFont(display, fontName.c_str());
    if (font == nullptr) {
        return std::nullopt;
    }
    const int ascent = font->ascent;
    const int advance = XTextWidth(font, line.data(), static_cast<int>(line.size()));
    const auto drawn = drawInPixmap(display, font, line, ink, paper);
    XFreeFont(display, font);
    if (!drawn || drawn->empty()) {
        return std::nullopt;
    }
    return trimToInk(*drawn, kPad, kPad + ascent, advance);
}

std::optional<TextPattern> drawDialogTextPattern(const std::string& line, double dpi, Rgb ink,
                                                 Rgb paper) {
    const DialogFontHandle font = openDesktopFont(dpi);
    if (!font) {
        return std::nullopt;
    }
    const int advance = textAdvance(*font, line);
    const int ascent = fontAscent(*font);
    DialogPixels pixels = makeDialogPixels(advance + 2 * kPad, fontLineHeight(*font) + 2 * kPad,
                                           dialogRgb(paper.r, paper.g, paper.b));
    drawText(pixels, *font, kPad, kPad + ascent, line, dialogRgb(ink.r, ink.g, ink.b));
    RgbImage drawn;
    drawn.width = pixels.width;
    drawn.height = pixels.height;
    for (const std::uint32_t p : pixels.xrgb) {
        drawn.pixels.push_back({static_cast<std::uint8_t>(p >> 16),
                                static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)});
    }
    return trimToInk(drawn, kPad, kPad + ascent, advance);
}

std::vector<PixelSpot> findExactly(const RgbImage& picture, const RgbImage& pattern) {
    std::vector<PixelSpot> spots;
    if (pattern.empty()) {
        return spots;
    }
    for (int top = 0; top + pattern.height <= picture.height; ++top) {
        for (int left = 0; left + pattern.width <= picture.width; ++left) {
            if (matchesAt(picture, pattern, left, top)) {
                spots.push_back({left, top});
            }
        }
    }
    return spots;
}
