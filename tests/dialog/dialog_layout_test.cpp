// Message box layout from given metrics: no font, no display.
#include "platform/dialog/dialog_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// What a 10-point sans-serif face gives at 96 dpi, near enough.
DialogTextMetrics oneLine(int width) {
    DialogTextMetrics metrics;
    metrics.lineWidths = {width};
    metrics.captionWidth = 100;
    metrics.labelWidth = 20;
    metrics.ascent = 13;
    metrics.lineHeight = 17;
    return metrics;
}

DialogTextMetrics doubled(DialogTextMetrics metrics) {
    for (int& width : metrics.lineWidths) {
        width *= 2;
    }
    metrics.captionWidth *= 2;
    metrics.labelWidth *= 2;
    metrics.ascent *= 2;
    metrics.lineHeight *= 2;
    return metrics;
}

TEST(DialogLayout, OneLineWithoutSignSetsBoxAndButtonFromMargins) {
    const DialogLayout layout = layoutDialog(oneLine(300), false, 96, {1252, 996});
    EXPECT_EQ(layout.width, 14 + 300 + 14);
    // Margin, line, margin, button (label height plus padding beats 26), margin.
    EXPECT_EQ(layout.height, 14 + 17 + 14 + 27 + 14);
    EXPECT_EQ(layout.textX, 14);
    ASSERT_EQ(layout.baselines.size(), 1u);
    EXPECT_EQ(layout.baselines[0], 14 + 13);
    EXPECT_EQ(layout.icon.width, 0);
    EXPECT_EQ(layout.button.width, 80);
    EXPECT_EQ(layout.button.x, (328 - 80) / 2);
    EXPECT_EQ(layout.button.y + layout.button.height + 14, layout.height);
    // The label is centred in the button.
    EXPECT_EQ(layout.labelX, layout.button.x + 30);
    EXPECT_GT(layout.labelBaseline, layout.button.y);
    EXPECT_LT(layout.labelBaseline, layout.button.y + layout.button.height);
}

TEST(DialogLayout, ASignMovesTheTextAndCentresOneLineOnIt) {
    const DialogLayout layout = layoutDialog(oneLine(168), true, 96, {1252, 996});
    EXPECT_EQ(layout.icon.x, 14);
    EXPECT_EQ(layout.icon.y, 14);
    EXPECT_EQ(layout.icon.width, 32);
    EXPECT_EQ(layout.icon.height, 32);
    EXPECT_EQ(layout.textX, 14 + 32 + 14);
    EXPECT_EQ(layout.width, 60 + 168 + 14);
    EXPECT_EQ(layout.height, 14 + 32 + 14 + 27 + 14);
    // The line's middle is the sign's middle, to a pixel.
    const int lineMiddle = layout.baselines[0] - 13 + 17 / 2;
    EXPECT_NEAR(lineMiddle, 14 + 16, 1);
}

TEST(DialogLayout, TheLongestLineSetsTheWidthAndEachLineAddsItsHeight) {
    DialogTextMetrics metrics = oneLine(50);
    metrics.lineWidths = {50, 420, 120};
    const DialogLayout layout = layoutDialog(metrics, true, 96, {1252, 996});
    EXPECT_EQ(layout.width, 60 + 420 + 14);
    ASSERT_EQ(layout.baselines.size(), 3u);
    EXPECT_EQ(layout.baselines[0], 14 + 13);  // taller than the sign: from the top
    EXPECT_EQ(layout.baselines[1] - layout.baselines[0], 17);
    EXPECT_EQ(layout.baselines[2] - layout.baselines[1], 17);
    EXPECT_EQ(layout.height, 14 + 3 * 17 + 14 + 27 + 14);
    EXPECT_GE(layout.button.y, layout.baselines[2] + 17 - 13);
}

TEST(DialogLayout, ShortTextKeepsTheMinimumWidthAndAWideLabelWidensTheButton) {
    DialogTextMetrics metrics = oneLine(10);
    metrics.labelWidth = 100;
    const DialogLayout layout = layoutDialog(metrics, false, 96, {1252, 996});
    EXPECT_EQ(layout.width, 200);
    EXPECT_EQ(layout.button.width, 100 + 2 * 12);
    EXPECT_EQ(layout.labelX, layout.button.x + 12);
    EXPECT_EQ(layoutDialog(metrics, false, 192, {2000, 2000}).width, 400);
}

TEST(DialogLayout, ALongCaptionWidensTheBoxButTheScreenLimitsIt) {
    DialogTextMetrics metrics = oneLine(150);
    metrics.captionWidth = 500;
    EXPECT_EQ(layoutDialog(metrics, false, 96, {1252, 996}).width, 500 + 2 * 14);
    metrics.captionWidth = 5000;
    EXPECT_EQ(layoutDialog(metrics, false, 96, {1252, 996}).width, 1252);
    metrics.captionWidth = 0;
    metrics.lineWidths = {9000};
    const DialogLayout cut = layoutDialog(metrics, false, 96, {1252, 996});
    EXPECT_EQ(cut.width, 1252);
    EXPECT_EQ(cut.button.x, (1252 - 80) / 2);
    // A screen narrower than the minimum still gets the minimum.
    EXPECT_EQ(layoutDialog(oneLine(10), false, 96, {120, 996}).width, 200);
}

TEST(DialogLayout, MoreLinesThanTheScreenHoldsAreLeftOutAndTheButtonStays) {
    DialogTextMetrics metrics = oneLine(100);
    metrics.lineWidths.assign(5000, 100);
    const DialogLayout layout = layoutDialog(metrics, false, 96, {1252, 740});
    EXPECT_LE(layout.height, 740);
    EXPECT_GT(layout.height, 740 - 17);
    ASSERT_FALSE(layout.baselines.empty());
    EXPECT_LT(layout.baselines.size(), 5000u);
    EXPECT_LE(layout.baselines.back() - 13 + 17, layout.button.y - 14);
    EXPECT_EQ(layout.button.y + layout.button.height + 14, layout.height);
    // A screen too low for even one line still gets that line and the button.
    const DialogLayout tiny = layoutDialog(metrics, false, 96, {1252, 10});
    EXPECT_EQ(tiny.baselines.size(), 1u);
    EXPECT_EQ(tiny.height, 14 + 17 + 14 + 27 + 14);
}

TEST(DialogLayout, At192DpiEveryPartIsTwiceItsSizeAt96) {
    for (const bool withIcon : {false, true}) {
        const DialogTextMetrics metrics = oneLine(342);
        const DialogLayout small = layoutDialog(metrics, withIcon, 96, {4000, 4000});
        const DialogLayout large = layoutDialog(doubled(metrics), withIcon, 192, {4000, 4000});
        EXPECT_EQ(large.width, 2 * small.width) << withIcon;
        EXPECT_EQ(large.height, 2 * small.height) << withIcon;
        EXPECT_EQ(large.button.width, 2 * small.button.width);
        EXPECT_EQ(large.button.height, 2 * small.button.height);
        EXPECT_EQ(large.textX, 2 * small.textX);
        EXPECT_EQ(large.icon.width, 2 * small.icon.width);
        EXPECT_EQ(large.borderWidth, 2 * small.borderWidth);
    }
    // 144 dpi: one and a half, rounded.
    const DialogLayout mid = layoutDialog(oneLine(513), true, 144, {4000, 4000});
    EXPECT_EQ(mid.icon.width, 48);
    EXPECT_EQ(mid.textX, 21 + 48 + 21);
}

TEST(DialogLayout, DpiOutsideAScreensRangeOrUnreadableFallsBackTo96) {
    EXPECT_EQ(dialogDpiFromText("192"), 192.0);
    EXPECT_EQ(dialogDpiFromText("144.5"), 144.5);
    EXPECT_EQ(dialogDpiFromText(" 120 \n"), 120.0);
    for (const char* bad : {"", "abc", "120dpi", "-192", "0", "1e9", "nan", "inf", "20"}) {
        EXPECT_EQ(dialogDpiFromText(bad), 96.0) << '"' << bad << '"';
    }
    EXPECT_EQ(dialogDpiFromText(nullptr), 96.0);
    EXPECT_EQ(dialogDpi(480.0), 480.0);
    EXPECT_EQ(dialogDpi(481.0), 96.0);
    EXPECT_EQ(dialogDpi(std::nan("")), 96.0);
}

TEST(DialogLines, SplitAtLineFeedsWithoutATrailingEmptyLine) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(splitDialogLines("ChoosePixelFormat failed\n"), Lines{"ChoosePixelFormat failed"});
    EXPECT_EQ(splitDialogLines(" a \r\nb\n\nc"), (Lines{" a ", "b", "", "c"}));
    EXPECT_EQ(splitDialogLines("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(splitDialogLines(""), Lines{""});
    EXPECT_EQ(splitDialogLines(nullptr), Lines{""});
}

}  // namespace
