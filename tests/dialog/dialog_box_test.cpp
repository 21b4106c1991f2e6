// The box's behaviour as every backend gets it: the sign, the keys, the
// button's press and release, the fallback without fonts, colour-mapped
// screens. In memory, with the desktop font; no display.
#include "platform/dialog/dialog_box.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <set>
#include <string>

#include "platform/winapi.h"
#include "tests/dialog/empty_font_config.h"

namespace {

constexpr DialogScreen kScreen{96, 1280, 1024, true};

std::uint32_t at(const DialogPixels& pixels, int x, int y) {
    return pixels.xrgb[static_cast<std::size_t>(y) * pixels.width + x];
}

int countIn(const DialogPixels& pixels, const DialogRect& area, std::uint32_t colour) {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            count += at(pixels, x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// The middle of the button, and a point on its face beside the label.
struct ButtonPoints {
    int x, y, faceX;
};
ButtonPoints pointsOf(const DialogBox& box) {
    const DialogRect& b = box.content.layout.button;
    return {b.x + b.width / 2, b.y + b.height / 2, b.x + 5};
}

TEST(DialogBoxTest, TheTypeChoosesTheSign) {
    EXPECT_EQ(dialogSignFor(MB_OK), DialogSign::none);
    EXPECT_EQ(dialogSignFor(MB_OK | MB_ICONERROR), DialogSign::error);
    EXPECT_EQ(dialogSignFor(MB_ICONINFORMATION), DialogSign::information);
    EXPECT_EQ(dialogSignFor(MB_ICONHAND), DialogSign::error);
    const DialogBox box = openDialogBox("failed", "Error", MB_ICONERROR, kScreen);
    EXPECT_EQ(box.content.sign, DialogSign::error);
    EXPECT_GT(box.content.layout.icon.width, 0);
}

TEST(DialogBoxTest, ReturnEnterSpaceAndEscapeAnswerOkAndOtherKeysDoNothing) {
    DialogBox box = openDialogBox("text", "Keys", MB_OK, kScreen);
    for (const std::uint32_t key :
         {XKB_KEY_Return, XKB_KEY_KP_Enter, XKB_KEY_space, XKB_KEY_Escape}) {
        const DialogReply reply = dialogKey(box, key);
        EXPECT_TRUE(reply.done) << std::hex << key;
        EXPECT_EQ(reply.answer, IDOK);
    }
    for (const std::uint32_t key : {XKB_KEY_a, XKB_KEY_Tab, XKB_KEY_o, XKB_KEY_F1}) {
        const DialogReply reply = dialogKey(box, key);
        EXPECT_FALSE(reply.done) << std::hex << key;
        EXPECT_EQ(reply.redraw.width, 0);
    }
    const DialogReply closed = dialogClosed();
    EXPECT_TRUE(closed.done);
    EXPECT_EQ(closed.answer, dialogDefaultAnswer());
}

// As on Windows: a click answers only when it presses and releases on OK.
TEST(DialogBoxTest, OnlyAPressAndAReleaseOnTheButtonAnswer) {
    DialogBox box = openDialogBox("Press OK", "Click", MB_OK, kScreen);
    const DialogPixels up = box.pixels;
    const ButtonPoints ok = pointsOf(box);
    ASSERT_EQ(at(up, ok.faceX, ok.y), kDialogFace);

    // Pressed beside the button, released on it.
    EXPECT_EQ(dialogPointer(box, 2, 2, DialogPointer::press).redraw.width, 0);
    const DialogReply offThenOn = dialogPointer(box, ok.x, ok.y, DialogPointer::release);
    EXPECT_FALSE(offThenOn.done);
    EXPECT_EQ(offThenOn.redraw.width, 0);

    // Pressed on it: it looks pressed; sliding off and releasing cancels.
    const DialogReply pressed = dialogPointer(box, ok.x, ok.y, DialogPointer::press);
    EXPECT_EQ(pressed.redraw.x, box.content.layout.button.x);
    EXPECT_EQ(pressed.redraw.width, box.content.layout.button.width);
    EXPECT_EQ(at(box.pixels, ok.faceX, ok.y), kDialogPressed);
    EXPECT_FALSE(dialogPointer(box, 2, 2, DialogPointer::move).done);
    const DialogReply slidOff = dialogPointer(box, 2, 2, DialogPointer::release);
    EXPECT_FALSE(slidOff.done);
    EXPECT_GT(slidOff.redraw.width, 0);
    EXPECT_EQ(box.pixels.xrgb, up.xrgb) << "the button did not come up again";

    dialogPointer(box, ok.x, ok.y, DialogPointer::press);
    const DialogReply clicked = dialogPointer(box, ok.x + 3, ok.y - 3, DialogPointer::release);
    EXPECT_TRUE(clicked.done);
    EXPECT_EQ(clicked.answer, IDOK);
}

TEST(DialogBoxTest, AFinalLineFeedAddsNoLineButASecondLineDoes) {
    const auto heightOf = [](const char* text) {
        return openDialogBox(text, "Lines", MB_OK | MB_ICONERROR, kScreen).pixels.height;
    };
    const int one = heightOf("SetPixelFormat failed");
    EXPECT_EQ(heightOf("SetPixelFormat failed\n"), one);
    EXPECT_GT(heightOf("SetPixelFormat\nfailed\nthree"), one);
}

TEST(DialogBoxTest, TheScreenLessAFramesRoomBoundsTheBox) {
    const DialogBounds normal = dialogBoundsOn({96, 1024, 768, true});
    EXPECT_EQ(normal.width, 1024 - 28);
    EXPECT_EQ(normal.height, 768 - 28);
    const DialogBounds doubled = dialogBoundsOn({192, 2048, 1536, true});
    EXPECT_EQ(doubled.width, 2048 - 56);
    EXPECT_GT(dialogBoundsOn({96, 0, 0, true}).width, 2000) << "an unknown screen is no limit";
    const std::string wide(400, 'W');
    EXPECT_EQ(openDialogBox(wide.c_str(), "Wide", MB_OK, {96, 640, 480, true}).pixels.width,
              640 - 28);
}

// A colour map has room for a few colours only: the picture has no others.
TEST(DialogBoxTest, WithoutShadesThePictureHoldsOnlyTheBoxsOwnColours) {
    const std::set<std::uint32_t> own{kDialogFace,           kDialogInk,      kDialogOutline,
                                      kDialogPressed,        kDialogErrorRed, kDialogWhite,
                                      kDialogInformationBlue};
    for (const UINT sign : {MB_ICONERROR, MB_ICONINFORMATION}) {
        DialogScreen mapped = kScreen;
        mapped.shades = false;
        DialogBox box = openDialogBox("Shown at any depth", "Depth", sign, mapped);
        const ButtonPoints ok = pointsOf(box);
        dialogPointer(box, ok.x, ok.y, DialogPointer::press);
        const std::set<std::uint32_t> used(box.pixels.xrgb.begin(), box.pixels.xrgb.end());
        for (const std::uint32_t colour : used) {
            EXPECT_TRUE(own.count(colour)) << std::hex << colour;
        }
        EXPECT_GT(countIn(box.pixels, {0, 0, box.pixels.width, box.pixels.height}, kDialogInk), 50);
    }
    const DialogBox shaded = openDialogBox("Shown at any depth", "Depth", MB_OK, kScreen);
    EXPECT_GT(std::set<std::uint32_t>(shaded.pixels.xrgb.begin(), shaded.pixels.xrgb.end()).size(),
              own.size());
}

// Every backend falls back alike: the same size as a small fixed font
// would give, the sign and the button, no text, and one line on stderr.
TEST(DialogBoxTest, WithoutFontsTheBoxKeepsItsSignAndButtonAndSaysWhy) {
    const std::string said = " mouse: touch the window image for movement----- ";
    DialogBox box;
    DialogBox large;
    std::string told;
    {
        const EmptyFontConfig noFonts;
        testing::internal::CaptureStderr();
        box = openDialogBox(said.c_str(), "No fonts", MB_ICONINFORMATION, kScreen);
        told = testing::internal::GetCapturedStderr();
        large = openDialogBox(said.c_str(), "No fonts", MB_ICONINFORMATION, {192, 0, 0, true});
    }
    EXPECT_FALSE(box.font);
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    EXPECT_NE(told.find("font"), std::string::npos) << told;

    const DialogLayout& layout = box.content.layout;
    EXPECT_EQ(layout.width, 14 + 32 + 14 + 6 * static_cast<int>(said.size()) + 14);
    EXPECT_EQ(layout.button.width, 80);
    EXPECT_EQ(large.pixels.width, 2 * box.pixels.width);
    const DialogRect text{layout.textX, 0, layout.width - layout.textX, layout.button.y};
    EXPECT_EQ(countIn(box.pixels, text, kDialogFace), text.width * text.height) << "text drawn";
    EXPECT_GT(countIn(box.pixels, layout.icon, kDialogInformationBlue), 400);
    const DialogRect& b = layout.button;
    EXPECT_GT(countIn(box.pixels, {b.x, b.y + b.height / 2, b.width, 1}, kDialogOutline), 1);

    const ButtonPoints ok = pointsOf(box);
    dialogPointer(box, ok.x, ok.y, DialogPointer::press);
    EXPECT_EQ(at(box.pixels, ok.faceX, ok.y), kDialogPressed);
    EXPECT_TRUE(dialogPointer(box, ok.x, ok.y, DialogPointer::release).done);
}

}  // namespace
