// Where the parts of a message box go: sizes and positions from the text's
// measured metrics and the screen's dots per inch. Pure arithmetic, shared by
// every window-system layer that shows a box.
#pragma once

#include <string>
#include <vector>

struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

// What the font says about the texts, in pixels.
struct DialogTextMetrics {
    std::vector<int> lineWidths;  // the pen's advance over each body line
    int captionWidth = 0;         // the title, as it would be set in this font
    int labelWidth = 0;           // the button's "OK"
    int ascent = 0;
    int lineHeight = 0;
};

struct DialogLayout {
    int width = 0;
    int height = 0;
    DialogRect icon;  // zero-sized when the box has no sign
    DialogRect button;
    int textX = 0;
    std::vector<int> baselines;  // one per body line
    int labelX = 0;
    int labelBaseline = 0;
    int borderWidth = 1;  // the button's outline
};

inline constexpr double kDefaultDpi = 96.0;
inline constexpr const char* kDialogButtonLabel = "OK";

// The dpi to lay out at: the value given when it is a plausible screen's,
// else the default (an unset, garbled or absurd resource must not give a
// box the size of a wall).
double dialogDpi(double requested);
// The same for a resource's text, such as Xft.dpi's "192" or "144.5".
double dialogDpiFromText(const char* text);

// A length given at the default dpi, at this dpi.
int dialogScaled(int atDefaultDpi, double dpi);

// The room a box may take: the screen's, less some for a frame.
struct DialogBounds {
    int width = 0;
    int height = 0;
};

// The box for these metrics; never larger than the bounds unless even the
// minimum is. Lines that do not fit get no baseline and are not drawn, so
// the button always shows.
DialogLayout layoutDialog(const DialogTextMetrics& metrics, bool withIcon, double dpi,
                          DialogBounds bounds);

// The body's lines: split at line feeds, carriage returns dropped, and a
// final line feed adds no empty line.
std::vector<std::string> splitDialogLines(const char* text);
