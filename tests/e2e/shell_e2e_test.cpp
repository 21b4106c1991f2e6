// The shell of the real program on Xvfb: the notice, the window, the ways
// out, and what happens without a display.

// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/shell.h"
#include "app/viewer_state.h"
#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/viewer_session.h"
#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/text_match.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"

using namespace std::chrono_literals;

namespace {

// How the Linux message box draws its text: in the desktop's sans-serif
// font at the Xft.dpi resource's size, black on the box's face, from a
// 14-pixel margin, or to the right of the 32-pixel sign and a second margin
// when it has one (at 96 dpi; all of it scales with the dpi).
constexpr Rgb kBoxInk{0, 0, 0};
constexpr Rgb kBoxFace{236, 236, 236};
constexpr int kBoxMargin = 14;
constexpr int kBoxTextAfterSign = kBoxMargin + 32 + kBoxMargin;

std::optional<TextPattern> boxLine(const std::string& line, double dpi = 96) {
    return drawDialogTextPattern(line, dpi, kBoxInk, kBoxFace);
}

// A picture of the box in which the line shows. The box may be redrawn
// (cleared first) at any time, so one picture without it proves nothing.
std::optional<RgbImage> waitForLine(ViewerSession& session, Window box, const TextPattern& line) {
    return waitForValue(
        [&]() -> std::optional<RgbImage> {
            auto picture = captureWindow(session.display(), box);
            if (!picture || findExactly(*picture, line.image).empty()) {
                return std::nullopt;
            }
            return picture;
        },
        kLongWait, 50ms);
}

std::string keepBox(ViewerSession& session, Window box, const std::string& name) {
    const auto picture = captureWindow(session.display(), box);
    return picture ? session.keep(*picture, name) : std::string(" (box not readable)");
}

TEST(ShellEndToEnd, NoticeShowsItsTextWithBothBlanks) {
    ViewerSession session;
    ASSERT_TRUE(session.launch());
    const auto notice = session.waitForBox(kNoticeCaption);
    ASSERT_TRUE(notice);
    const auto text = boxLine(kUsageNotice);
    ASSERT_TRUE(text) << "no sans-serif font from fontconfig";
    const auto picture = waitForLine(session, *notice, *text);
    ASSERT_TRUE(picture) << "the notice does not show \"" << kUsageNotice << "\""
                         << keepBox(session, *notice, "notice");
    const auto spots = findExactly(*picture, text->image);
    ASSERT_EQ(spots.size(), 1u);
    // The blanks ink nothing, so they show only in where the glyphs sit. The
    // notice has no sign: the pen starts at the margin, one blank left of the
    // first glyph, and the box is as wide as the line with both its blanks.
    const int penX = spots[0].x + text->originX;
    EXPECT_EQ(penX, kBoxMargin) << "the leading blank is lost or the text moved";
    EXPECT_EQ(picture->width - (penX + text->advance), kBoxMargin)
        << "the box is not sized to the line with its trailing blank";

    const auto otherText = boxLine(" mouse: touch the window image for motion----- ");
    ASSERT_TRUE(otherText);
    EXPECT_TRUE(findExactly(*picture, otherText->image).empty());
}

TEST(ShellEndToEnd, NoticeComesFirstAndTheWindowOnlyAfterOk) {
    ViewerSession session;
    ASSERT_TRUE(session.launch());
    const auto notice = session.waitForBox(kNoticeCaption);
    ASSERT_TRUE(notice) << "no notice captioned \"" << kNoticeCaption << "\"";
    EXPECT_FALSE(session.mainWindow()) << "main window shown before the notice was closed";
    // The program is blocked in the notice: the window must not come on its own.
    EXPECT_FALSE(waitFor([&] { return session.mainWindow().has_value(); }, 1s));
    EXPECT_TRUE(session.program().running());
    EXPECT_EQ(transientFor(session.display(), *notice), static_cast<Window>(None))
        << "the notice has no owner window";

    session.dismissWithReturn(*notice);
    ASSERT_TRUE(session.waitForMainWindow()) << "no main window after OK";
    EXPECT_FALSE(findViewableByTitle(session.display(), kNoticeCaption));
}

TEST(ShellEndToEnd, NoticeClosesOnAClickOnOkButNotOnAClickBesideIt) {
    ViewerSession session;
    ASSERT_TRUE(session.launch());
    const auto notice = session.waitForBox(kNoticeCaption);
    ASSERT_TRUE(notice);
    // The box's corner: no button there.
    clickAt(session.display(), *notice, 2, 2);
    EXPECT_FALSE(waitFor([&] { return session.mainWindow().has_value(); }, 500ms));
    EXPECT_TRUE(findViewableByTitle(session.display(), kNoticeCaption));

    ASSERT_TRUE(session.clickOk(*notice)) << "no OK button in the notice";
    EXPECT_TRUE(session.waitForMainWindow()) << "no main window after a click on OK";
    EXPECT_FALSE(findViewableByTitle(session.display(), kNoticeCaption));
}

struct ScreenCase {
    const char* screen;
    int side;
};

class WindowSize : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(WindowSize, IsSquareAtFourFifthsOfTheScreenHeightAndHeldThere) {
    ViewerSession session(GetParam().screen);
    ASSERT_TRUE(session.openViewer());
    const int side = GetParam().side;
    const auto geometry = windowGeometry(session.display(), session.main());
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width, side);
    EXPECT_EQ(geometry->height, side);
    const auto hints = normalHints(session.display(), session.main());
    ASSERT_TRUE(hints);
    EXPECT_TRUE((hints->flags & PMinSize) != 0 && (hints->flags & PMaxSize) != 0);
    EXPECT_EQ(hints->min_width, side);
    EXPECT_EQ(hints->max_width, side);
    EXPECT_EQ(hints->min_height, side);
    EXPECT_EQ(hints->max_height, side);
}

INSTANTIATE_TEST_SUITE_P(TwoScreens, WindowSize,
                         ::testing::Values(ScreenCase{"1280x1024x24", 819},
                                           ScreenCase{"1024x768x24", 614}),
                         [](const auto& info) { return std::to_string(info.param.side); });

TEST(ShellEndToEnd, TitleClassAndIconAreTheProgramsOwn) {
    ViewerSession session;
    ASSERT_TRUE(session.openViewer());
    Display* d = session.display();
    const Window w = session.main();
    const auto plainName = wmName(d, w);
    const auto utf8Name = netWmName(d, w);
    EXPECT_TRUE(plainName || utf8Name) << "no title at all";
    if (plainName) {
        EXPECT_EQ(*plainName, " Morvane");
    }
    if (utf8Name) {
        EXPECT_EQ(*utf8Name, " Morvane");
    }
    const auto names = wmClass(d, w);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->className, "OpenGL");

    const auto icon = netWmIcon(d, w);
    ASSERT_GE(icon.size(), 2u + 32 * 32) << "no 32x32 icon";
    EXPECT_EQ(icon[0], 32u);
    EXPECT_EQ(icon[1], 32u);
    std::set<unsigned long> colours(icon.begin() + 2, icon.begin() + 2 + 32 * 32);
    EXPECT_GE(colours.size(), 2u) << "the icon is a blank square";
    const bool anyOpaque = std::any_of(icon.begin() + 2, icon.begin() + 2 + 32 * 32,
                                       [](unsigned long argb) { return (argb >> 24) == 0xFF; });
    EXPECT_TRUE(anyOpaque) << "the icon is fully transparent";
}

// Resizes from this test's own connection, as `xdotool windowsize` would,
// and watches the window's configure events.
TEST(ShellEndToEnd, ForcedResizeSnapsBack) {
    ViewerSession session;
    ASSERT_TRUE(session.openViewer());
    Display* d = session.display();
    const Window w = session.main();
    XSelectInput(d, w, StructureNotifyMask);
    XResizeWindow(d, w, 1000, 700);
    XSync(d, False);

    bool sawForcedSize = false;
    bool snappedBack = false;
    XEvent event;
    waitFor(
        [&] {
            while (XCheckTypedWindowEvent(d, w, ConfigureNotify, &event)) {
                const auto& c = event.xconfigure;
                if (c.width == 1000 && c.height == 700) {
                    sawForcedSize = true;
                } else if (sawForcedSize && c.width == 819 && c.height == 819) {
                    snappedBack = true;
                }
            }
            return snappedBack;
        },
        kLongWait);
    EXPECT_TRUE(sawForcedSize) << "the resize never took effect";
    EXPECT_TRUE(snappedBack);
    // The exchange ends: no further size changes.
    EXPECT_FALSE(waitFor(
        [&] {
            const auto g = windowGeometry(d, w);
            return !g || g->width != 819 || g->height != 819;
        },
        500ms));
    EXPECT_TRUE(session.program().running());
}

TEST(ShellEndToEnd, EscapeExitsWithStatusZero) {
    ViewerSession session;
    ASSERT_TRUE(session.openViewer());
    session.typeKey(XK_Escape);
    const auto ended = session.program().waitForExit(kLongWait);
    ASSERT_TRUE(ended) << "still running after Esc";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 0);
    EXPECT_EQ(session.program().stderrText(), "");
}

// What a window manager sends when its close button is pressed.
TEST(ShellEndToEnd, WindowManagerCloseExitsWithStatusZero) {
    ViewerSession session;
    ASSERT_TRUE(session.openViewer());
    Display* d = session.display();
    ASSERT_TRUE(hasDeleteProtocol(d, session.main())) << "WM_DELETE_WINDOW not in WM_PROTOCOLS";
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = session.main();
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, session.main(), False, NoEventMask, &event);
    XSync(d, False);
    const auto ended = session.program().waitForExit(kLongWait);
    ASSERT_TRUE(ended) << "still running after WM_DELETE_WINDOW";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 0);
}

// Without a display the program says so in one line and ends with 1; it
// takes milliseconds, the deadline only catches a hang on a loaded machine.
void expectOneLineAndStatusOne(const std::optional<std::string>& display,
                               const std::string& mustMention) {
    ProgramProcess program(MORVANE_EXE, display);
    ASSERT_TRUE(program.started());
    const auto ended = program.waitForExit(10s);
    ASSERT_TRUE(ended) << "hung instead of ending";
    EXPECT_TRUE(ended->exited) << "killed by signal " << ended->status;
    EXPECT_EQ(ended->status, 1);
    const std::string text = program.stderrText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "not exactly one line: " << text;
    EXPECT_NE(text.find(mustMention), std::string::npos) << text;
}

TEST(ShellEndToEnd, WithoutDisplayVariableOneLineAndStatusOne) {
    expectOneLineAndStatusOne(std::nullopt, "DISPLAY");
}

TEST(ShellEndToEnd, WithUnreachableDisplayOneLineAndStatusOne) {
    expectOneLineAndStatusOne(std::string(":nonexistent"), ":nonexistent");
}

// The box says "ChoosePixelFormat failed\n": one line beside the sign.
void expectErrorText(ViewerSession& session, Window box, double dpi) {
    const std::string said = "ChoosePixelFormat failed";
    const auto text = boxLine(said, dpi);
    ASSERT_TRUE(text) << "no sans-serif font from fontconfig";
    const auto picture = waitForLine(session, box, *text);
    ASSERT_TRUE(picture) << "the error box does not show \"" << said << "\" at " << dpi << " dpi"
                         << keepBox(session, box, "error");
    const auto spots = findExactly(*picture, text->image);
    ASSERT_EQ(spots.size(), 1u);
    EXPECT_EQ(spots[0].x + text->originX, static_cast<int>(kBoxTextAfterSign * dpi / 96));

    const auto otherText = boxLine("SetPixelFormat failed", dpi);
    ASSERT_TRUE(otherText);
    EXPECT_TRUE(findExactly(*picture, otherText->image).empty());
}

// Xft.dpi as xrdb would set it; the program reads it when it connects.
void setXftDpi(Display* display, int dpi) {
    const std::string resources =
        "*background:\tgrey\nXft.dpi:\t" + std::to_string(dpi) + "\nXft.hinting:\t1\n";
    XChangeProperty(display, DefaultRootWindow(display),
                    XInternAtom(display, "RESOURCE_MANAGER", False), XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(display, False);
}

struct BoxSizes {
    WindowGeometry notice;
    WindowGeometry error;
    int signPixels = 0;
};

// Keys that close a box, with the pointer over it so that it has the focus.
void closeWithKey(ViewerSession& session, Window box, KeySym key) {
    const auto geometry = windowGeometry(session.display(), box);
    movePointerInto(session.display(), box, geometry ? geometry->width / 2 : 0,
                    geometry ? geometry->height / 2 : 0);
    tapKey(session.display(), key);
}

// Whether the process has a Mesa DRI driver mapped.
bool glDriverLoaded(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("_dri.so") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The driver is loaded while the user reads the notice, not after OK. Esc
// answers the notice like OK, so the window still comes after it, and Esc
// there ends the program quietly.
TEST(ShellEndToEnd, TheNoticeLoadsTheGlDriverAndEscOnItStillOpensTheWindow) {
    ViewerSession session;
    ASSERT_TRUE(session.launch());
    const auto notice = session.waitForBox(kNoticeCaption);
    ASSERT_TRUE(notice);
    const pid_t pid = session.program().pid();
    EXPECT_TRUE(waitFor([&] { return glDriverLoaded(pid); }, kLongWait))
        << "no GL driver mapped while the notice is up";
    EXPECT_FALSE(session.mainWindow());

    closeWithKey(session, *notice, XK_Escape);
    const auto mainWindow = session.waitForMainWindow();
    ASSERT_TRUE(mainWindow) << "no main window after Esc on the notice";
    session.expectQuietEndOnEscape(*mainWindow);
}

// The program on a server without GLX: the notice, then the error box with
// its sign and text, and the exit status 1 once the box is closed.
void runWithoutGlx(int dpi, BoxSizes& sizes) {
    ViewerSession session("1280x1024x24", {"-extension", "GLX"});
    ASSERT_TRUE(session.connected());
    if (dpi != 96) {
        setXftDpi(session.display(), dpi);
    }
    ASSERT_TRUE(session.launch());
    const auto notice = session.waitForBox(kNoticeCaption);
    ASSERT_TRUE(notice);
    // The notice carries no icon: the sign below belongs to errors only.
    const auto noticePicture = captureWindow(session.display(), *notice);
    ASSERT_TRUE(noticePicture);
    EXPECT_EQ(countColourful(*noticePicture), 0);
    sizes.notice = windowGeometry(session.display(), *notice).value_or(WindowGeometry{});
    if (dpi == 96) {
        session.dismissWithReturn(*notice);
    } else {
        closeWithKey(session, *notice, XK_space);
    }
    const auto box = session.waitForBox("Error");
    ASSERT_TRUE(box) << "no box captioned \"Error\"";
    EXPECT_FALSE(session.mainWindow()) << "main window shown despite the failure";
    EXPECT_TRUE(session.program().running()) << "ended before the box was closed";
    // The box may be cleared for a redraw at any moment: wait for the sign.
    const auto errorPicture = waitForValue(
        [&]() -> std::optional<RgbImage> {
            auto picture = captureWindow(session.display(), *box);
            if (!picture || countColourful(*picture) <= 100) {
                return std::nullopt;
            }
            return picture;
        },
        kLongWait, 50ms);
    ASSERT_TRUE(errorPicture) << "no error sign in the box";
    sizes.signPixels = countColourful(*errorPicture);
    sizes.error = windowGeometry(session.display(), *box).value_or(WindowGeometry{});
    expectErrorText(session, *box, dpi);

    if (dpi == 96) {
        ASSERT_TRUE(session.clickOk(*box)) << "no OK button in the error box";
    } else {
        closeWithKey(session, *box, XK_Escape);
    }
    const auto ended = session.program().waitForExit(kLongWait);
    ASSERT_TRUE(ended) << "still running after the error box";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 1);
}

TEST(ShellEndToEnd, WithoutGlxErrorBoxBeforeAnyWindowThenStatusOne) {
    BoxSizes sizes;
    runWithoutGlx(96, sizes);
}

// Xft.dpi 192: both boxes, their text and the sign twice the size; Space and
// Esc close them.
TEST(ShellEndToEnd, AtXftDpi192BothBoxesAreTwiceTheirSizeAt96) {
    BoxSizes normal;
    runWithoutGlx(96, normal);
    ASSERT_FALSE(HasFatalFailure());
    BoxSizes large;
    runWithoutGlx(192, large);
    ASSERT_FALSE(HasFatalFailure());
    std::printf("notice %dx%d, error box %dx%d at 96 dpi; notice %dx%d, error box %dx%d at 192\n",
                normal.notice.width, normal.notice.height, normal.error.width, normal.error.height,
                large.notice.width, large.notice.height, large.error.width, large.error.height);
    for (const auto& [small, big] :
         {std::pair{normal.notice, large.notice}, std::pair{normal.error, large.error}}) {
        EXPECT_NEAR(big.width, 2 * small.width, 0.05 * small.width);
        EXPECT_NEAR(big.height, 2 * small.height, 0.05 * small.height);
    }
    EXPECT_NEAR(large.signPixels, 4 * normal.signPixels, 0.15 * 4 * normal.signPixels);
}

}  // namespace
