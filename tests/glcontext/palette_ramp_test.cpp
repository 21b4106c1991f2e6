// The colour ramp of palette-based formats, as pure data.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "glcontext/pixel_format.h"

namespace {

PIXELFORMATDESCRIPTOR layout(int colourBits, int redBits, int redShift, int greenBits,
                             int greenShift, int blueBits, int blueShift) {
    PIXELFORMATDESCRIPTOR format{};
    format.iPixelType = PFD_TYPE_RGBA;
    format.dwFlags = PFD_NEED_PALETTE;
    format.cColorBits = static_cast<BYTE>(colourBits);
    format.cRedBits = static_cast<BYTE>(redBits);
    format.cRedShift = static_cast<BYTE>(redShift);
    format.cGreenBits = static_cast<BYTE>(greenBits);
    format.cGreenShift = static_cast<BYTE>(greenShift);
    format.cBlueBits = static_cast<BYTE>(blueBits);
    format.cBlueShift = static_cast<BYTE>(blueShift);
    return format;
}

// The usual 8-bit layout: red in the low bits, blue in the top two.
PIXELFORMATDESCRIPTOR rgb332() {
    return layout(8, 3, 0, 3, 3, 2, 6);
}

std::vector<PALETTEENTRY> rampOf(const PIXELFORMATDESCRIPTOR& format) {
    std::vector<PALETTEENTRY> entries(paletteEntryCount(format), PALETTEENTRY{1, 2, 3, 4});
    paletteRamp(format, entries.data());
    return entries;
}

void expectColour(const PALETTEENTRY& e, int red, int green, int blue) {
    EXPECT_EQ(e.peRed, red);
    EXPECT_EQ(e.peGreen, green);
    EXPECT_EQ(e.peBlue, blue);
}

}  // namespace

TEST(PaletteRamp, Rgb332RunsFromBlackToWhiteWithNoFlags) {
    const auto ramp = rampOf(rgb332());
    ASSERT_EQ(ramp.size(), 256u);
    expectColour(ramp[0], 0, 0, 0);
    expectColour(ramp[255], 255, 255, 255);
    for (const PALETTEENTRY& e : ramp) {
        EXPECT_EQ(e.peFlags, 0);
    }
}

TEST(PaletteRamp, Rgb332StepsAreSeventhsAndThirdsTruncated) {
    const auto ramp = rampOf(rgb332());
    ASSERT_EQ(ramp.size(), 256u);
    const int sevenths[8] = {0, 36, 72, 109, 145, 182, 218, 255};
    const int thirds[4] = {0, 85, 170, 255};
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        expectColour(ramp[k], sevenths[k], 0, 0);       // red alone
        expectColour(ramp[k << 3], 0, sevenths[k], 0);  // green alone
    }
    for (int k = 0; k < 4; ++k) {
        expectColour(ramp[k << 6], 0, 0, thirds[k]);  // blue alone
    }
}

TEST(PaletteRamp, Rgb332HoldsEveryColourOfTheGridOnce) {
    std::set<std::tuple<int, int, int>> colours;
    for (const PALETTEENTRY& e : rampOf(rgb332())) {
        colours.insert({e.peRed, e.peGreen, e.peBlue});
    }
    EXPECT_EQ(colours.size(), 256u);
}

TEST(PaletteRamp, FollowsTheShiftsOfTheFormat) {
    const auto ramp = rampOf(layout(8, 3, 5, 3, 2, 2, 0));  // blue low, red high
    ASSERT_EQ(ramp.size(), 256u);
    expectColour(ramp[0xE0], 255, 0, 0);
    expectColour(ramp[0x1C], 0, 255, 0);
    expectColour(ramp[0x03], 0, 0, 255);
}

TEST(PaletteRamp, SmallerIndexGivesSmallerPalette) {
    const auto ramp = rampOf(layout(4, 1, 0, 2, 1, 1, 3));
    ASSERT_EQ(ramp.size(), 16u);
    expectColour(ramp[15], 255, 255, 255);
    expectColour(ramp[0x2], 0, 85, 0);
}

TEST(PaletteRamp, ChannelWithoutBitsIsFilledWithZero) {
    const auto ramp = rampOf(layout(8, 4, 0, 4, 4, 0, 0));
    ASSERT_EQ(ramp.size(), 256u);
    for (const PALETTEENTRY& e : ramp) {
        EXPECT_EQ(e.peBlue, 0);
    }
    expectColour(ramp[0xFF], 255, 255, 0);
    expectColour(ramp[0x01], 17, 0, 0);
}

TEST(PaletteRamp, ShiftBeyondTheIndexLeavesTheChannelAtZero) {
    const auto ramp = rampOf(layout(8, 3, 0, 3, 3, 2, 200));
    ASSERT_EQ(ramp.size(), 256u);
    for (const PALETTEENTRY& e : ramp) {
        EXPECT_EQ(e.peBlue, 0);
    }
    expectColour(ramp[0x3F], 255, 255, 0);
}

TEST(PaletteRamp, LayoutsItCannotFillGetNoPalette) {
    EXPECT_EQ(paletteEntryCount(layout(0, 0, 0, 0, 0, 0, 0)), 0) << "no index bits";
    EXPECT_EQ(paletteEntryCount(layout(16, 5, 0, 6, 5, 5, 11)), 0) << "65536 entries";
    EXPECT_EQ(paletteEntryCount(layout(24, 8, 0, 8, 8, 8, 16)), 0) << "2^24 entries";
    EXPECT_EQ(paletteEntryCount(layout(255, 8, 0, 8, 8, 8, 16)), 0) << "absurd index";
    EXPECT_EQ(paletteEntryCount(layout(8, 0, 0, 0, 0, 0, 0)), 0) << "all black";
    EXPECT_EQ(paletteEntryCount(layout(8, 9, 0, 3, 3, 2, 6)), 0) << "red wider than index";
    EXPECT_EQ(paletteEntryCount(layout(1, 1, 0, 0, 0, 0, 0)), 2) << "one red bit is fine";
}
