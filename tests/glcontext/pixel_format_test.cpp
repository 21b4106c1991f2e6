// The pixel-format request, its two failure boxes and the palette set-up.
#include <gtest/gtest.h>

#include <cstring>

#include "app/viewer_state.h"
#include "glcontext/pixel_format.h"
#include "tests/glcontext/gdi_stand_in.h"
#include "tests/support/pixel_formats.h"

namespace {

class PixelFormat : public ::testing::Test {
protected:
    void SetUp() override {
        gdi = GdiStandIn{};
        viewer = ViewerState{};
    }
};

using PixelFormatDeathTest = PixelFormat;

}  // namespace

TEST_F(PixelFormat, RequestsDoubleBufferedRgbaWithDepthAndNothingElse) {
    choosePixelFormat(kTestDeviceContext);

    PIXELFORMATDESCRIPTOR expected{};
    expected.nSize = 40;
    expected.nVersion = 1;
    expected.dwFlags = 0x25;  // draw to window, support OpenGL, double buffer
    expected.iPixelType = 0;  // RGBA
    expected.cColorBits = 8;
    expected.cDepthBits = 16;
    expected.iLayerType = 0;  // main plane
    EXPECT_EQ(std::memcmp(&gdi.chooseRequest, &expected, sizeof(expected)), 0);
    EXPECT_EQ(std::memcmp(&gdi.setRequest, &expected, sizeof(expected)), 0);
    EXPECT_EQ(gdi.setFormatIndex, 7) << "sets the format that was chosen";
    EXPECT_EQ(gdi.calls, (std::vector<std::string>{"ChoosePixelFormat", "SetPixelFormat"}));
}

TEST_F(PixelFormatDeathTest, NoMatchingFormatShowsBoxAndExitsWithOne) {
    gdi.chosenFormat = 0;
    EXPECT_EXIT(choosePixelFormat(kTestDeviceContext), ::testing::ExitedWithCode(1),
                "^box owner=window caption=\\[Error\\] type=16 "
                "text=\\[ChoosePixelFormat failed\n\\]\n$");
}

TEST_F(PixelFormatDeathTest, FormatThatCannotBeSetShowsBoxAndExitsWithOne) {
    gdi.setFormatResult = FALSE;
    EXPECT_EXIT(choosePixelFormat(kTestDeviceContext), ::testing::ExitedWithCode(1),
                "^box owner=window caption=\\[Error\\] type=16 "
                "text=\\[SetPixelFormat failed\\]\n$");
}

TEST_F(PixelFormat, TrueColourGetsNoPalette) {
    gdi.describedFormat = testTrueColourFormat();
    setupPalette(kTestDeviceContext);
    EXPECT_EQ(viewer.palette, nullptr);
    EXPECT_EQ(gdi.describedIndex, kTestFormatIndex) << "describes the format that is set";
    EXPECT_EQ(gdi.describeBytes, sizeof(PIXELFORMATDESCRIPTOR));
    EXPECT_EQ(gdi.calls, (std::vector<std::string>{"GetPixelFormat", "DescribePixelFormat"}));
}

TEST_F(PixelFormat, FormatNeedingPaletteGetsRampSelectedAndRealised) {
    gdi.describedFormat = testPaletteFormat();
    setupPalette(kTestDeviceContext);

    EXPECT_EQ(viewer.palette, kTestPalette);
    EXPECT_EQ(gdi.paletteVersion, 0x300);
    ASSERT_EQ(gdi.paletteEntries.size(), 256u);
    EXPECT_EQ(
        gdi.paletteEntries[0].peRed + gdi.paletteEntries[0].peGreen + gdi.paletteEntries[0].peBlue,
        0);
    EXPECT_EQ(gdi.paletteEntries[255].peRed, 255);
    EXPECT_EQ(gdi.paletteEntries[255].peGreen, 255);
    EXPECT_EQ(gdi.paletteEntries[255].peBlue, 255);
    EXPECT_EQ(gdi.paletteEntries[0x40].peBlue, 85);
    EXPECT_EQ(gdi.selectedPalette, kTestPalette);
    EXPECT_EQ(gdi.selectForcedBackground, FALSE) << "a foreground palette";
    EXPECT_EQ(gdi.calls,
              (std::vector<std::string>{"GetPixelFormat", "DescribePixelFormat", "CreatePalette",
                                        "SelectPalette", "RealizePalette"}));
}

TEST_F(PixelFormat, ColourIndexFormatAlsoGetsPalette) {
    gdi.describedFormat = testPaletteFormat();
    gdi.describedFormat.dwFlags &= ~PFD_NEED_PALETTE;
    gdi.describedFormat.iPixelType = PFD_TYPE_COLORINDEX;
    setupPalette(kTestDeviceContext);
    EXPECT_EQ(viewer.palette, kTestPalette);
    EXPECT_EQ(gdi.paletteEntries.size(), 256u);
}

TEST_F(PixelFormat, FailedPaletteCreationLeavesNoPaletteAndSelectsNothing) {
    gdi.describedFormat = testPaletteFormat();
    gdi.paletteCreationSucceeds = false;
    setupPalette(kTestDeviceContext);
    EXPECT_EQ(viewer.palette, nullptr);
    EXPECT_EQ(gdi.calls.back(), "CreatePalette");
}

TEST_F(PixelFormat, PaletteFormatTooLargeToFillGetsNoPalette) {
    gdi.describedFormat = testPaletteFormat();
    gdi.describedFormat.cColorBits = 16;
    setupPalette(kTestDeviceContext);
    EXPECT_EQ(viewer.palette, nullptr);
    EXPECT_EQ(gdi.calls, (std::vector<std::string>{"GetPixelFormat", "DescribePixelFormat"}));
}
