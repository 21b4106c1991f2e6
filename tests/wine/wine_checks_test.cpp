// The Windows program under Wine on a private Xvfb, driven as a person would:
// every test starts the program afresh, reads the notice, presses OK and
// watches the screen. The program is MORVANE_WINDOWS_EXE; the prefix is
// WINEPREFIX, made once per run by scripts/test-windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "tests/wine/program_run.h"
#include "tests/wine/test_desktop.h"
#include "tests/wine/viewer_screen.h"

using namespace std::chrono_literals;

namespace {

const std::string kNoticeTitle = "Morvane 1.0";
const std::string kMainTitle = " Morvane";

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One run of the Windows program on its own display.
class WindowsViewer : public ::testing::Test {
protected:
    // The Windows processes end before their display does, so none of them
    // is left talking to a vanished server.
    void TearDown() override {
        run_.reset();
        stopWineServer();
        desktop_.reset();
    }

    TestDesktop& openDesktop(const std::string& screen = "1280x1024x24",
                             const std::vector<std::string>& extraArgs = {}) {
        desktop_ = std::make_unique<TestDesktop>(screen, extraArgs);
        return *desktop_;
    }

    void launch(TestDesktop& desktop, const std::string& wineDebug = "-all",
                const std::string& stderrPath = {}) {
        const std::string exe = pathFromEnvironment("MORVANE_WINDOWS_EXE");
        ASSERT_FALSE(exe.empty()) << "MORVANE_WINDOWS_EXE is not set (run scripts/test-windows)";
        ASSERT_FALSE(pathFromEnvironment("WINEPREFIX").empty()) << "WINEPREFIX is not set";
        ASSERT_TRUE(desktop.ok()) << "no private Xvfb";
        auto env = wineEnvironment(desktop.name());
        env["WINEDEBUG"] = wineDebug;
        launchedAt_ = std::chrono::steady_clock::now();
        run_ = std::make_unique<ProgramRun>(std::vector<std::string>{"wine", exe}, env, stderrPath);
        ASSERT_TRUE(run_->started());
    }

    // Waits for the notice, checks that the main window does not exist yet,
    // and presses OK (Return on its default button).
    void passNotice(TestDesktop& desktop) {
        const auto notice = desktop.waitForViewable(kNoticeTitle, 60s);
        ASSERT_TRUE(notice) << "the start-up notice did not appear";
        std::printf("launch to notice: %.0f ms\n", millisecondsSince(launchedAt_));
        EXPECT_TRUE(desktop.windowsTitled(kMainTitle, false).empty())
            << "the main window exists while the notice is up";
        const auto box = desktop.outerRect(*notice);
        ASSERT_TRUE(box);
        okAt_ = std::chrono::steady_clock::now();
        desktop.keyAt(box->centreX(), box->centreY(), "Return");
    }

    // Passes the notice and waits for the first frame; returns the client area.
    Rect showViewer(TestDesktop& desktop) {
        launch(desktop);
        if (HasFatalFailure()) {
            return {};
        }
        passNotice(desktop);
        if (HasFatalFailure()) {
            return {};
        }
        const auto window = desktop.waitForViewable(kMainTitle, 20s);
        EXPECT_TRUE(window) << "the main window did not appear after OK";
        if (!window) {
            return {};
        }
        mainWindow_ = *window;
        const auto client = desktop.largestChildRect(*window);
        EXPECT_TRUE(client);
        if (!client) {
            return {};
        }
        EXPECT_TRUE(waitUntil([&] { return showsFrame(desktop.capture(*client)); }, 20s))
            << "no frame was drawn";
        std::printf("OK to first frame: %.0f ms\n", millisecondsSince(okAt_));
        return *client;
    }

    std::unique_ptr<TestDesktop> desktop_;
    std::unique_ptr<ProgramRun> run_;
    Window mainWindow_ = 0;
    std::chrono::steady_clock::time_point launchedAt_;
    std::chrono::steady_clock::time_point okAt_;
};

TEST_F(WindowsViewer, NoticeComesFirstAndOkShowsTheWindow) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    EXPECT_GT(client.width, 0);
    EXPECT_TRUE(desktop.windowsTitled(kNoticeTitle, true).empty()) << "the notice stayed up";
}

struct ScreenCase {
    const char* screen;
    int expectedSide;
};

class WindowsViewerSize : public WindowsViewer, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(WindowsViewerSize, OuterSizeIsFourFifthsOfScreenHeightAndSquare) {
    TestDesktop& desktop = openDesktop(GetParam().screen);
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    const auto outer = desktop.outerRect(mainWindow_);
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->width, GetParam().expectedSide);
    EXPECT_EQ(outer->height, GetParam().expectedSide);
    EXPECT_EQ(outer->x, 50);
    EXPECT_EQ(outer->y, 50);
    // The frame and caption take their share of the outer size.
    EXPECT_LT(client.width, outer->width);
    EXPECT_LT(client.height, outer->height);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowsViewerSize,
                         ::testing::Values(ScreenCase{"1280x1024x24", 819},
                                           ScreenCase{"1024x768x24", 614}));

TEST_F(WindowsViewer, ModelRendersAndTurns) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    Image first;
    ASSERT_TRUE(waitUntil(
        [&] { return modelPixels(first = desktop.capture(client)) > kVisibleModelPixels; }, 20s))
        << "the model never appeared";
    EXPECT_TRUE(near(first.at(2, 2), kBackground)) << "background is not the clear colour";
    EXPECT_TRUE(waitUntil(
        [&] { return differingPixels(first, desktop.capture(client)) > kMovedPixels; }, 20s))
        << "the model does not turn on its own";
}

TEST_F(WindowsViewer, KeysFAndPSwitchFogAndWireFrame) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    desktop.clickAt(client.centreX(), client.centreY());
    Image still;
    ASSERT_TRUE(waitForStill(desktop, client, still)) << "a click did not stop the model";

    desktop.keyAt(client.centreX(), client.centreY(), "f");
    Image fogged;
    ASSERT_TRUE(waitUntil(
        [&] { return near((fogged = desktop.capture(client)).at(2, 2), kFogBackground); }, 10s))
        << "f did not switch the fog background on";
    EXPECT_GT(differingPixels(still, fogged), modelPixels(still) / 2)
        << "fog did not change the model's colours";
    desktop.keyAt(client.centreX(), client.centreY(), "f");
    EXPECT_TRUE(
        waitUntil([&] { return differingPixels(still, desktop.capture(client)) == 0; }, 10s))
        << "pressing f twice did not restore the first picture";

    desktop.keyAt(client.centreX(), client.centreY(), "p");
    Image wire;
    ASSERT_TRUE(waitUntil(
        [&] { return differingPixels(still, wire = desktop.capture(client)) > kMovedPixels; }, 10s))
        << "p changed nothing";
    // Lines leave the background showing between the edges.
    EXPECT_LT(modelPixels(wire), modelPixels(still) * 9 / 10);
    EXPECT_TRUE(near(wire.at(2, 2), kBackground));
    desktop.keyAt(client.centreX(), client.centreY(), "p");
    EXPECT_TRUE(
        waitUntil([&] { return differingPixels(still, desktop.capture(client)) == 0; }, 10s))
        << "pressing p twice did not restore the filled picture";

    // Upper case letters are no commands.
    desktop.keyAt(client.centreX(), client.centreY(), "F");
    desktop.keyAt(client.centreX(), client.centreY(), "P");
    EXPECT_TRUE(staysStill(desktop, client, still));
}

TEST_F(WindowsViewer, DragLeavesItSpinningAndAClickStopsIt) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    const int x = client.centreX();
    const int y = client.centreY();
    desktop.movePointer(x, y);
    desktop.pressButton();
    for (int step = 1; step <= 10; ++step) {
        desktop.movePointer(x + 12 * step, y + 4 * step);
    }
    desktop.releaseButton();
    const Image afterFling = desktop.capture(client);
    EXPECT_TRUE(waitUntil(
        [&] { return differingPixels(afterFling, desktop.capture(client)) > kMovedPixels; }, 10s))
        << "the model did not keep spinning after the drag";

    desktop.clickAt(x - 100, y + 50);
    Image still;
    EXPECT_TRUE(waitForStill(desktop, client, still)) << "the click did not stop the model";
    EXPECT_TRUE(staysStill(desktop, client, still));
}

TEST_F(WindowsViewer, EscExitsWithStatusZero) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    desktop.keyAt(client.centreX(), client.centreY(), "Escape");
    const auto status = run_->waitExit(20s);
    ASSERT_TRUE(status) << "Esc did not end the program";
    EXPECT_EQ(*status, 0);
    // The server drops the windows once it notices the closed connection.
    EXPECT_TRUE(waitUntil([&] { return desktop.windowsTitled(kMainTitle, true).empty(); }, 10s));
}

TEST_F(WindowsViewer, CloseBoxExitsWithStatusZero) {
    TestDesktop& desktop = openDesktop();
    const Rect client = showViewer(desktop);
    ASSERT_FALSE(HasFailure());
    const auto outer = desktop.outerRect(mainWindow_);
    ASSERT_TRUE(outer);
    // The caption may be painted after the client: wait for the box to show.
    std::optional<std::pair<int, int>> closeBox;
    EXPECT_TRUE(waitUntil(
        [&] {
            closeBox = closeBoxCentre(desktop.capture(*outer), client.y - outer->y);
            return closeBox.has_value();
        },
        10s));
    ASSERT_TRUE(closeBox) << "no close box found in the caption";
    desktop.clickAt(outer->x + closeBox->first, outer->y + closeBox->second);
    const auto status = run_->waitExit(20s);
    ASSERT_TRUE(status) << "the close box did not end the program";
    EXPECT_EQ(*status, 0);
}

TEST_F(WindowsViewer, WithoutGlxAnErrorBoxEndsTheRunWithStatusOne) {
    TestDesktop& desktop = openDesktop("1280x1024x24", {"-extension", "GLX"});
    // The message box's own trace shows the text the program passed.
    const std::string trace = ::testing::TempDir() + "morvane_no_glx_trace.txt";
    launch(desktop, "-all,+msgbox", trace);
    ASSERT_FALSE(HasFatalFailure());
    passNotice(desktop);
    ASSERT_FALSE(HasFatalFailure());
    const auto box = desktop.waitForViewable("Error", 20s);
    ASSERT_TRUE(box) << "no box captioned \"Error\" appeared";
    EXPECT_TRUE(desktop.windowsTitled(kMainTitle, true).empty())
        << "the main window was shown although no pixel format exists";
    const auto rect = desktop.outerRect(*box);
    ASSERT_TRUE(rect);
    // Viewable comes before painted: wait for the icon rather than look once.
    long iconPixels = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            iconPixels = errorIconPixels(desktop.capture(*rect));
            return iconPixels > 40;
        },
        10s))
        << "no red error icon in the box (" << iconPixels << " red pixels)";

    desktop.keyAt(rect->centreX(), rect->centreY(), "Return");
    const auto status = run_->waitExit(20s);
    ASSERT_TRUE(status) << "the program did not end after the error box";
    EXPECT_EQ(*status, 1);

    std::ifstream file(trace);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("L\"ChoosePixelFormat failed\\n\""), std::string::npos)
        << "the box did not say \"ChoosePixelFormat failed\\n\"; trace:\n"
        << text.str();
}

}  // namespace
