// The layer's pure parts, no display needed: the icon picture and its
// parser, pixel-format descriptions from visual traits, and the primary
// monitor's choice.
// Before Xlib, whose macro None would break gtest's own None.
#include <gtest/gtest.h>

#include <set>

#include "platform/x11/x11_layer.h"

namespace {

#include "platform/icon/morvane_icon.xpm"

constexpr std::size_t kIconLines = sizeof morvane_icon_xpm / sizeof morvane_icon_xpm[0];

TEST(XpmIcon, TheProgramPictureIs32By32WithAtMost16ColoursAndTransparentCorners) {
    const IconImage icon = x11ParseXpm(morvane_icon_xpm, kIconLines);
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    ASSERT_EQ(icon.argb.size(), 1024u);
    const std::set<std::uint32_t> colours(icon.argb.begin(), icon.argb.end());
    EXPECT_LE(colours.size(), 16u);  // so that it also makes a 16-colour .ico
    EXPECT_GE(colours.size(), 4u);
    EXPECT_EQ(icon.argb[0], 0u);                      // transparent corner
    EXPECT_EQ(icon.argb[16 * 32 + 16] >> 24, 0xFFu);  // opaque middle
    for (std::uint32_t pixel : icon.argb) {
        const std::uint32_t alpha = pixel >> 24;
        ASSERT_TRUE(alpha == 0 || alpha == 0xFF);
    }
    EXPECT_EQ(x11ProgramIcon().argb, icon.argb);
}

TEST(XpmIcon, ColoursAreReadInBothHexFormsAndNone) {
    const char* const lines[] = {"3 1 3 1", "a c #FF8000", "b c #0f0", "  c None", "ab "};
    const IconImage image = x11ParseXpm(lines, 5);
    ASSERT_EQ(image.argb.size(), 3u);
    EXPECT_EQ(image.argb[0], 0xFFFF8000u);
    EXPECT_EQ(image.argb[1], 0xFF00FF00u);
    EXPECT_EQ(image.argb[2], 0x00000000u);
}

TEST(XpmIcon, TwoCharactersPerPixelAndOtherKeysBeforeTheColour) {
    const char* const lines[] = {"2 1 2 2", "aa m white c #000001", "bb s edge c #000002", "bbaa"};
    const IconImage image = x11ParseXpm(lines, 4);
    ASSERT_EQ(image.argb.size(), 2u);
    EXPECT_EQ(image.argb[0], 0xFF000002u);
    EXPECT_EQ(image.argb[1], 0xFF000001u);
}

TEST(XpmIcon, BrokenPicturesGiveNoIconRatherThanGarbage) {
    const char* const unknownPixel[] = {"2 1 1 1", "a c #000000", "ax"};
    const char* const shortRow[] = {"3 1 1 1", "a c #000000", "aa"};
    const char* const missingRows[] = {"1 2 1 1", "a c #000000", "a"};
    const char* const badColour[] = {"1 1 1 1", "a c #00000G", "a"};
    const char* const namedColour[] = {"1 1 1 1", "a c red", "a"};
    const char* const noColourKey[] = {"1 1 1 1", "a m #000000", "a"};
    const char* const badHeader[] = {"one by one", "a c #000000", "a"};
    const char* const hugeSize[] = {"100000 1 1 1", "a c #000000", "a"};
    const char* const nullRow[] = {"1 1 1 1", "a c #000000", nullptr};
    EXPECT_TRUE(x11ParseXpm(unknownPixel, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(shortRow, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(missingRows, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(badColour, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(namedColour, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(noColourKey, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(badHeader, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(hugeSize, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(nullRow, 3).argb.empty());
    EXPECT_TRUE(x11ParseXpm(nullptr, 0).argb.empty());
}

TEST(PixelFormatDescription, TrueColourMasksGiveBitsAndShifts) {
    VisualTraits traits;
    traits.visualClass = TrueColor;
    traits.depth = 24;
    traits.redMask = 0xFF0000;
    traits.greenMask = 0x00FF00;
    traits.blueMask = 0x0000FF;
    traits.openGl = true;
    traits.rgba = true;
    traits.doubleBuffer = true;
    traits.depthBits = 24;
    traits.stencilBits = 8;
    const PIXELFORMATDESCRIPTOR pfd = x11DescribeTraits(traits);
    EXPECT_EQ(pfd.nSize, sizeof pfd);
    EXPECT_EQ(pfd.nVersion, 1);
    EXPECT_EQ(pfd.dwFlags, DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(pfd.cColorBits, 24);
    EXPECT_EQ(pfd.cRedBits, 8);
    EXPECT_EQ(pfd.cRedShift, 16);
    EXPECT_EQ(pfd.cGreenBits, 8);
    EXPECT_EQ(pfd.cGreenShift, 8);
    EXPECT_EQ(pfd.cBlueBits, 8);
    EXPECT_EQ(pfd.cBlueShift, 0);
    EXPECT_EQ(pfd.cAlphaBits, 0);
    EXPECT_EQ(pfd.cDepthBits, 24);
    EXPECT_EQ(pfd.cStencilBits, 8);
}

TEST(PixelFormatDescription, A565VisualWithAlphaAndAccumulation) {
    VisualTraits traits;
    traits.visualClass = TrueColor;
    traits.depth = 16;
    traits.redMask = 0xF800;
    traits.greenMask = 0x07E0;
    traits.blueMask = 0x001F;
    traits.openGl = true;
    traits.alphaBits = 8;
    traits.accumRedBits = traits.accumGreenBits = traits.accumBlueBits = 16;
    const PIXELFORMATDESCRIPTOR pfd = x11DescribeTraits(traits);
    EXPECT_EQ(pfd.cColorBits, 16);
    EXPECT_EQ(pfd.cRedBits, 5);
    EXPECT_EQ(pfd.cRedShift, 11);
    EXPECT_EQ(pfd.cGreenBits, 6);
    EXPECT_EQ(pfd.cGreenShift, 5);
    EXPECT_EQ(pfd.cBlueShift, 0);
    EXPECT_EQ(pfd.cAlphaBits, 8);
    EXPECT_EQ(pfd.cAlphaShift, 16);
    EXPECT_EQ(pfd.cAccumBits, 48);
    EXPECT_EQ(pfd.dwFlags & PFD_DOUBLEBUFFER, 0u);
}

TEST(PixelFormatDescription, PaletteVisualsNeedAPaletteAndAreColourIndexed) {
    for (int visualClass : {PseudoColor, GrayScale}) {
        VisualTraits traits;
        traits.visualClass = visualClass;
        traits.depth = 8;
        const PIXELFORMATDESCRIPTOR pfd = x11DescribeTraits(traits);
        EXPECT_EQ(pfd.dwFlags, DWORD(PFD_DRAW_TO_WINDOW | PFD_NEED_PALETTE)) << visualClass;
        EXPECT_EQ(pfd.iPixelType, PFD_TYPE_COLORINDEX);
        EXPECT_EQ(pfd.cColorBits, 8);
        EXPECT_EQ(pfd.cRedBits, 0);
    }
    VisualTraits fixedColours;
    fixedColours.visualClass = StaticColor;
    fixedColours.depth = 8;
    EXPECT_EQ(x11DescribeTraits(fixedColours).dwFlags & PFD_NEED_PALETTE, 0u);
}

bool sameBox(const BoxRect& a, const BoxRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(PrimaryMonitor, TheMarkedMonitorWinsWhereverItIs) {
    const std::vector<MonitorRect> monitors = {{{0, 0, 1200, 1920}, false},
                                               {{1200, 400, 1920, 1080}, true}};
    const BoxRect chosen = x11ChoosePrimary(monitors, {{0, 0, 1200, 1920}}, {0, 0, 3120, 1920});
    EXPECT_TRUE(sameBox(chosen, {1200, 400, 1920, 1080}));
}

TEST(PrimaryMonitor, WithoutAMarkTheMonitorAtTheOriginIsTaken) {
    const std::vector<MonitorRect> monitors = {{{1920, 0, 1080, 1200}, false},
                                               {{0, 0, 1920, 1080}, false}};
    EXPECT_TRUE(sameBox(x11ChoosePrimary(monitors, {}, {0, 0, 3000, 1200}), {0, 0, 1920, 1080}));
}

TEST(PrimaryMonitor, MonitorsThatCannotDecideLeaveItToXineramaThenTheScreen) {
    // RandR without monitors, or none marked and none at the origin.
    const std::vector<BoxRect> heads = {{0, 0, 1920, 1080}, {1920, 0, 1080, 1200}};
    const BoxRect screen{0, 0, 3000, 1200};
    EXPECT_TRUE(sameBox(x11ChoosePrimary({}, heads, screen), heads[0]));
    EXPECT_TRUE(
        sameBox(x11ChoosePrimary({{{1920, 0, 1080, 1200}, false}}, heads, screen), heads[0]));
    EXPECT_TRUE(sameBox(x11ChoosePrimary({}, {}, screen), screen));
}

TEST(PrimaryMonitor, RectanglesWithoutAreaArePassedOver) {
    // A disabled output can be listed with no size, even marked primary.
    const std::vector<MonitorRect> monitors = {{{0, 0, 0, 0}, true}, {{0, 0, 1280, 1024}, false}};
    const BoxRect screen{0, 0, 2560, 1024};
    EXPECT_TRUE(sameBox(x11ChoosePrimary(monitors, {}, screen), {0, 0, 1280, 1024}));
    EXPECT_TRUE(sameBox(x11ChoosePrimary({{{0, 0, 0, 0}, true}}, {{0, 0, 0, 0}}, screen), screen));
}

TEST(NoDisplay, EveryOperationFailsQuicklyInsteadOfWaiting) {
    unsetenv("DISPLAY");
    const PlatformBackend* const x11Only[] = {&x11Backend};
    EXPECT_EQ(coreConnect(x11Only), "DISPLAY is not set");
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 0);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "OpenGL";
    RegisterClassA(&windowClass);
    EXPECT_EQ(CreateWindowExA(0, "OpenGL", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    setenv("DISPLAY", ":4097", 1);
    EXPECT_EQ(x11OpenDisplay(), "cannot open display \":4097\"");
    coreReset();
}

}  // namespace
