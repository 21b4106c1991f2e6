// Finding a line of text in a screenshot by its pixels. Text on screen is in
// no property, but the same glyphs are drawn the same way each time: draw
// the line with the program's font and colours (a core X font through the
// server, or the message boxes' own renderer in memory) and look for
// exactly that picture.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/rgb_image.h"

// One line as XDrawString draws it, cut down to the box around its inked
// pixels: blanks at either end draw nothing and so are not part of it.
struct TextPattern {
    RgbImage image;
    // The pen's start on the baseline, relative to the image's top left.
    int originX = 0;
    int baselineY = 0;
    // How far the pen moves over the whole line, blanks included.
    int advance = 0;
};

// Nullopt if the font cannot be loaded or the line inks no pixel at all
// (a pattern of nothing would be found everywhere). Every byte is drawn as
// it is, control characters included.
std::optional<TextPattern> drawTextPattern(Display* display, const std::string& fontName,
                                           const std::string& line, Rgb ink, Rgb paper);

// The line as the message boxes set it in the desktop font at this dpi;
// nullopt without a font or when it inks nothing.
std::optional<TextPattern> drawDialogTextPattern(const std::string& line, double dpi, Rgb ink,
                                                 Rgb paper);

struct PixelSpot {
    int x = 0;
    int y = 0;
    bool operator==(const PixelSpot&) const = default;
};

// Every place where the pattern's pixels all equal the picture's, as the
// pattern's top left corner in the picture, row by row.
std::vector<PixelSpot> findExactly(const RgbImage& picture, const RgbImage& pattern);
