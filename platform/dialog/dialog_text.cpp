// Text for message boxes: fontconfig finds the desktop's sans-serif face,
// FreeType sets it with light hinting and grey antialiasing.
//
// Depends on: fontconfig (its configuration and font cache), FreeType.
// Cannot: shaping, kerning, right-to-left text or characters outside
// Latin-1; a face without a glyph shows its missing-glyph box.
#include "platform/dialog/dialog_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <future>
#include <optional>
#include <system_error>

struct DialogFont {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

struct DesktopFontFile {
    std::string path;
    int faceIndex = 0;
};

namespace {

constexpr double kPointSize = 10.0;
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_LIGHT;

FT_ULong codeOf(char byte) {
    const auto code = static_cast<unsigned char>(byte);
    return code < 0x20 || code == 0x7f ? ' ' : code;
}

// The glyph of one character, loaded into the face's slot; false if none.
bool loadGlyph(const DialogFont& font, char byte, bool render) {
    const FT_UInt index = FT_Get_Char_Index(font.face, codeOf(byte));
    return FT_Load_Glyph(font.face, index, kLoadFlags | (render ? FT_LOAD_RENDER : 0)) == 0;
}

void blendGlyph(DialogPixels& pixels, const FT_GlyphSlot slot, int left, int top,
                std::uint32_t ink) {
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        return;
    }
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            blendPixel(pixels, left + static_cast<int>(column), top + static_cast<int>(row), ink,
                       line[column] * 255 / std::max(1, bitmap.num_grays - 1));
        }
    }
}

}  // namespace

void DialogFontCloser::operator()(DialogFont* font) const {
    if (font->face != nullptr) {
        FT_Done_Face(font->face);
    }
    if (font->library != nullptr) {
        FT_Done_FreeType(font->library);
    }
    delete font;
}

DialogFontHandle openFontFile(const std::string& path, int faceIndex, double dpi) {
    DialogFontHandle font(new DialogFont);
    if (FT_Init_FreeType(&font->library) != 0) {
        font->library = nullptr;
        return nullptr;
    }
    if (FT_New_Face(font->library, path.c_str(), faceIndex, &font->face) != 0) {
        font->face = nullptr;
        return nullptr;
    }
    const auto resolution = static_cast<FT_UInt>(std::lround(dpi));
    if (!FT_IS_SCALABLE(font->face) ||
        FT_Set_Char_Size(font->face, 0, static_cast<FT_F26Dot6>(kPointSize * 64), resolution,
                         resolution) != 0) {
        return nullptr;
    }
    return font;
}

namespace {

// fontconfig's match for sans-serif; nothing when it has none. Reading its
// configuration takes several milliseconds, most of a box's start.
std::optional<DesktopFontFile> matchDesktopFontFile() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return {};
    }
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(config, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, wanted, &result);
    std::optional<DesktopFontFile> found;
    FcChar8* file = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        found = DesktopFontFile{reinterpret_cast<const char*>(file), 0};
        FcPatternGetInteger(match, FC_INDEX, 0, &found->faceIndex);
    }
    if (match != nullptr) {
        FcPatternDestroy(match);
    }
    FcPatternDestroy(wanted);
    FcConfigDestroy(config);
    return found;
}

// The match being made on a helper thread while the program connects.
std::future<std::optional<DesktopFontFile>> prefetched;

}  // namespace

void prefetchDesktopFont() {
    if (prefetched.valid()) {
        return;
    }
    try {
        prefetched = std::async(std::launch::async, matchDesktopFontFile);
    } catch (const std::system_error&) {
        // no thread to spare: the box asks when it needs the font
    }
}

DialogFontHandle openDesktopFont(double dpi) {
    const std::optional<DesktopFontFile> file =
        prefetched.valid() ? prefetched.get() : matchDesktopFontFile();
    return file ? openFontFile(file->path, file->faceIndex, dpi) : nullptr;
}

int fontAscent(const DialogFont& font) {
    return static_cast<int>((font.face->size->metrics.ascender + 63) >> 6);
}

int fontLineHeight(const DialogFont& font) {
    const FT_Size_Metrics& metrics = font.face->size->metrics;
    return static_cast<int>((metrics.ascender + 63) >> 6) +
           static_cast<int>((-metrics.descender + 63) >> 6);
}

int textAdvance(const DialogFont& font, std::string_view text) {
    FT_Pos pen = 0;
    for (const char byte : text) {
        if (loadGlyph(font, byte, false)) {
            pen += font.face->glyph->advance.x;
        }
    }
    return static_cast<int>((pen + 63) >> 6);
}

void drawText(DialogPixels& pixels, const DialogFont& font, int penX, int baseline,
              std::string_view text, std::uint32_t ink) {
    FT_Pos pen = 0;
    for (const char byte : text) {
        if (!loadGlyph(font, byte, true)) {
            continue;
        }
        const FT_GlyphSlot slot = font.face->glyph;
        const int left = penX + static_cast<int>(pen >> 6) + slot->bitmap_left;
        blendGlyph(pixels, slot, left, baseline - slot->bitmap_top, ink);
        pen += slot->advance.x;
    }
}

DialogTextMetrics measureDialogText(const DialogFont& font, const std::vector<std::string>& lines,
                                    std::string_view caption) {
    DialogTextMetrics metrics;
    for (const std::string& line : lines) {
        metrics.lineWidths.push_back(textAdvance(font, line));
    }
    metrics.captionWidth = textAdvance(font, caption);
    metrics.labelWidth = textAdvance(font, kDialogButtonLabel);
    metrics.ascent = fontAscent(font);
    metrics.lineHeight = fontLineHeight(font);
    return metrics;
}
