// The desktop's sans-serif font (fontconfig's match), opened with FreeType
// at 10 points for a given dpi, and lines of text set in it: measured, and
// drawn antialiased into a DialogPixels picture.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/dialog/dialog_pixels.h"

struct DialogFont;
struct DialogFontCloser {
    void operator()(DialogFont* font) const;
};
using DialogFontHandle = std::unique_ptr<DialogFont, DialogFontCloser>;

// Null when fontconfig has no match or FreeType cannot use the file; the
// caller then draws some other way. Reads the fontconfig configuration
// afresh on each call, except the first after prefetchDesktopFont.
DialogFontHandle openDesktopFont(double dpi);

// Starts fontconfig's match on a helper thread, for the next
// openDesktopFont to take: a program calls it first thing, so that the
// match is made while it connects to the display.
void prefetchDesktopFont();
DialogFontHandle openFontFile(const std::string& path, int faceIndex, double dpi);

int fontAscent(const DialogFont& font);
int fontLineHeight(const DialogFont& font);

// Bytes are Latin-1; control characters are set as blanks.
int textAdvance(const DialogFont& font, std::string_view text);
void drawText(DialogPixels& pixels, const DialogFont& font, int penX, int baseline,
              std::string_view text, std::uint32_t ink);

// Everything layoutDialog needs to know about these texts in this font.
DialogTextMetrics measureDialogText(const DialogFont& font, const std::vector<std::string>& lines,
                                    std::string_view caption);
