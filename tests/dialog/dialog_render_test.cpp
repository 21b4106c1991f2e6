// The box's renderer with the real desktop font (fontconfig's sans-serif),
// into pixels in memory: no display.
#include "platform/dialog/dialog_render.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "tests/dialog/empty_font_config.h"

namespace {

unsigned red(std::uint32_t p) {
    return (p >> 16) & 0xff;
}
unsigned green(std::uint32_t p) {
    return (p >> 8) & 0xff;
}
unsigned blue(std::uint32_t p) {
    return p & 0xff;
}

DialogFontHandle desktopFont(double dpi) {
    DialogFontHandle font = openDesktopFont(dpi);
    EXPECT_TRUE(font) << "no sans-serif font from fontconfig (fonts-dejavu-core)";
    return font;
}

DialogContent contentFor(const DialogFont& font, const char* text, DialogSign sign, double dpi) {
    DialogContent content;
    content.lines = splitDialogLines(text);
    content.sign = sign;
    content.layout = layoutDialog(measureDialogText(font, content.lines, "Error"),
                                  sign != DialogSign::none, dpi, {4000, 4000});
    return content;
}

int countIn(const DialogPixels& pixels, const DialogRect& area,
            const std::function<bool(std::uint32_t)>& wanted) {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            count += wanted(pixels.xrgb[static_cast<std::size_t>(y) * pixels.width + x]) ? 1 : 0;
        }
    }
    return count;
}

TEST(DialogFontTest, MeasuresScaleWithDpiAndBlanksCount) {
    const auto small = desktopFont(96);
    const auto large = desktopFont(192);
    ASSERT_TRUE(small && large);
    const std::string line = " mouse: touch the window image for movement----- ";
    const int width = textAdvance(*small, line);
    EXPECT_GT(width, 200);
    EXPECT_NEAR(textAdvance(*large, line), 2 * width, 0.03 * width);
    EXPECT_NEAR(fontLineHeight(*large), 2 * fontLineHeight(*small), 2);
    EXPECT_GT(fontLineHeight(*small), fontAscent(*small));
    // Leading and trailing blanks are part of the line's advance.
    EXPECT_GT(width, textAdvance(*small, "mouse: touch the window image for movement-----"));
    // A control character is set as a blank, not as a missing-glyph box.
    EXPECT_EQ(textAdvance(*small, "a\tb"), textAdvance(*small, "a b"));
    EXPECT_EQ(textAdvance(*small, ""), 0);
}

TEST(DialogFontTest, TextIsAntialiasedAndClippedToThePicture) {
    const auto font = desktopFont(96);
    ASSERT_TRUE(font);
    const std::uint32_t paper = kDialogFace;
    DialogPixels pixels = makeDialogPixels(120, 30, paper);
    drawText(pixels, *font, 4, 20, "Wavy OK", kDialogInk);
    std::set<std::uint32_t> shades;
    for (const std::uint32_t p : pixels.xrgb) {
        EXPECT_TRUE(red(p) == green(p) && green(p) == blue(p)) << std::hex << p;
        shades.insert(p);
    }
    EXPECT_TRUE(shades.count(kDialogInk) || shades.count(dialogRgb(1, 1, 1)));
    EXPECT_GE(shades.size(), 10u) << "no shades between the ink and the paper";
    // Text running off every edge writes nothing outside (ASan would see it).
    drawText(pixels, *font, -30, 5, "clipped at the edges of the picture", kDialogInk);
    drawText(pixels, *font, 100, 40, "clipped", kDialogInk);
}

TEST(DialogFontTest, FilesFreeTypeCannotReadGiveNoFont) {
    EXPECT_FALSE(openFontFile("/nonexistent/font.ttf", 0, 96));
    const auto notAFont = std::filesystem::temp_directory_path() / "morvane-not-a-font.ttf";
    std::ofstream(notAFont) << "this is no font\n";
    EXPECT_FALSE(openFontFile(notAFont.string(), 0, 96));
    std::filesystem::remove(notAFont);
}

// An empty fontconfig configuration knows no fonts: the caller must learn
// that there is no font, so it can draw the box some other way.
TEST(DialogFontTest, NoFontWhenFontconfigKnowsNone) {
    bool loaded = true;
    {
        const EmptyFontConfig noFonts;
        loaded = static_cast<bool>(openDesktopFont(96));
    }
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(openDesktopFont(96)) << "the configuration was not read afresh";
}

// The match made ahead serves one box; the next reads the configuration
// afresh.
TEST(DialogFontTest, APrefetchedMatchServesOneBox) {
    prefetchDesktopFont();
    const DialogFontHandle prefetched = openDesktopFont(96);
    const EmptyFontConfig noFonts;
    EXPECT_TRUE(prefetched);
    EXPECT_FALSE(openDesktopFont(96)) << "the prefetched match was taken twice";
}

TEST(DialogRenderTest, ErrorBoxHasARedSignWithAWhiteCrossTextAndAnOutlinedButton) {
    const auto font = desktopFont(96);
    ASSERT_TRUE(font);
    const DialogContent content =
        contentFor(*font, "ChoosePixelFormat failed\n", DialogSign::error, 96);
    const DialogPixels pixels = renderDialog(content, font.get(), false);
    ASSERT_EQ(pixels.width, content.layout.width);
    ASSERT_EQ(pixels.height, content.layout.height);
    const DialogRect& icon = content.layout.icon;
    const auto isRed = [](std::uint32_t p) { return red(p) > 180 && green(p) < 80; };
    // Most of the disc (pi/4 of the square) less the cross is red.
    EXPECT_GT(countIn(pixels, icon, isRed), 550);
    const std::uint32_t centre =
        pixels.xrgb[static_cast<std::size_t>(icon.y + 16) * pixels.width + icon.x + 16];
    EXPECT_EQ(centre, kDialogWhite);
    EXPECT_EQ(pixels.xrgb[static_cast<std::size_t>(icon.y) * pixels.width + icon.x], kDialogFace)
        << "the sign's corner is outside the disc";
    const DialogRect text{content.layout.textX, icon.y, pixels.width - content.layout.textX,
                          icon.height};
    EXPECT_GT(countIn(pixels, text, [](std::uint32_t p) { return p == kDialogInk; }), 50);
    const DialogRect& button = content.layout.button;
    const auto isOutline = [](std::uint32_t p) { return red(p) < 80; };
    EXPECT_GT(countIn(pixels, {button.x, button.y, button.width, 1}, isOutline), button.width - 10);
    EXPECT_EQ(countIn(pixels, {0, 0, pixels.width, icon.y}, isRed), 0) << "red above the sign";
}

TEST(DialogRenderTest, InformationSignIsBlueAndScalesWithDpi) {
    int blueAt[2] = {0, 0};
    for (const int i : {0, 1}) {
        const double dpi = i == 0 ? 96 : 192;
        const auto font = desktopFont(dpi);
        ASSERT_TRUE(font);
        const DialogContent content = contentFor(*font, "Note", DialogSign::information, dpi);
        const DialogPixels pixels = renderDialog(content, font.get(), false);
        blueAt[i] = countIn(pixels, content.layout.icon,
                            [](std::uint32_t p) { return blue(p) > 170 && red(p) < 80; });
        EXPECT_EQ(countIn(pixels, {0, 0, pixels.width, pixels.height},
                          [](std::uint32_t p) { return red(p) > 180 && green(p) < 80; }),
                  0);
    }
    EXPECT_GT(blueAt[0], 400);
    EXPECT_NEAR(blueAt[1], 4 * blueAt[0], 0.1 * 4 * blueAt[0]);
}

TEST(DialogRenderTest, APressedButtonChangesOnlyTheButton) {
    const auto font = desktopFont(96);
    ASSERT_TRUE(font);
    const DialogContent content = contentFor(*font, "Press OK", DialogSign::none, 96);
    const DialogPixels up = renderDialog(content, font.get(), false);
    DialogPixels down = up;
    renderDialogButton(down, content, font.get(), true);
    const DialogRect& b = content.layout.button;
    int changedOutside = 0;
    int changedInside = 0;
    for (int y = 0; y < up.height; ++y) {
        for (int x = 0; x < up.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * up.width + x;
            const bool changed = up.xrgb[at] != down.xrgb[at];
            (b.contains(x, y) ? changedInside : changedOutside) += changed ? 1 : 0;
        }
    }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, b.width * b.height / 2);
    EXPECT_EQ(down.xrgb[static_cast<std::size_t>(b.y + 5) * up.width + b.x + 5], kDialogPressed);
    renderDialogButton(down, content, font.get(), false);
    EXPECT_EQ(down.xrgb, up.xrgb) << "releasing does not restore the button";
}

}  // namespace
