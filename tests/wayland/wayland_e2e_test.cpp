// The viewer over the Wayland backend, on weston's x11 backend on a private
// Xvfb: XTest keys there reach the program through weston's seat, and the
// Xvfb's root window shows weston's output.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "tests/support/program_process.h"
#include "tests/support/rgb_image.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/weston_server.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"

namespace {

using namespace std::chrono_literals;

constexpr Rgb kBoxFace{236, 236, 236};
constexpr Rgb kViewerBackground{38, 38, 38};
constexpr Rgb kErrorRed{210, 30, 30};
constexpr int kOutputHeight = 1000;

int countNear(const RgbImage& image, Rgb colour) {
    int count = 0;
    for (const Rgb& pixel : image.pixels) {
        count += nearColour(pixel, colour, 2) ? 1 : 0;
    }
    return count;
}

class WaylandViewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(weston_.running());
        ASSERT_NE(x_.get(), nullptr);
    }

    std::unique_ptr<ProgramProcess> start(std::vector<std::string> extra = {}) {
        std::vector<std::string> env = weston_.clientEnvironment();
        env.insert(env.end(), extra.begin(), extra.end());
        return std::make_unique<ProgramProcess>(MORVANE_WAYLAND_PROGRAM, std::nullopt, env);
    }

    // True once weston's output shows at least this many pixels of a colour.
    bool shows(Rgb colour, int pixels) {
        return waitFor(
            [&] {
                const auto root = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
                return root && countNear(*root, colour) >= pixels;
            },
            20s, 100ms);
    }

    XvfbServer xvfb_{"1280x1080x24"};
    WestonServer weston_{xvfb_.display(), 1200, kOutputHeight};
    XConnection x_{xvfb_.display()};
};

// The notice comes first; the viewer, 0.8 of the output's height square,
// only after Return; f and p redraw; Esc ends it with status 0.
TEST_F(WaylandViewer, NoticeFirstThenTheViewerAndEscapeEndsItCleanly) {
    auto program = start();
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    const auto before = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
    ASSERT_TRUE(before);
    EXPECT_LT(countNear(*before, kViewerBackground), 1000);

    tapKey(x_.get(), XK_Return);
    const int side = kOutputHeight * 8 / 10;
    // Most of the square is background; the model covers the rest.
    ASSERT_TRUE(shows(kViewerBackground, side * side / 3)) << program->stderrText();
    EXPECT_TRUE(program->running());

    tapKey(x_.get(), XK_p);
    tapKey(x_.get(), XK_f);
    EXPECT_TRUE(program->running());
    tapKey(x_.get(), XK_Escape);
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 0) << program->stderrText();
}

// Without a GL driver EGL offers nothing: the error box, then status 1.
TEST_F(WaylandViewer, NoUsableGlShowsTheErrorBoxAndEndsWithStatusOne) {
    auto program = start({"LIBGL_DRIVERS_PATH=/nonexistent-morvane-dri"});
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    tapKey(x_.get(), XK_Return);
    ASSERT_TRUE(shows(kErrorRed, 200)) << program->stderrText();
    tapKey(x_.get(), XK_Return);
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 1);
}

// A compositor that goes away: one line on stderr and status 1, no hang.
TEST_F(WaylandViewer, ALostCompositorIsOneLineAndStatusOne) {
    auto program = start();
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    weston_.stop();
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 1);
    EXPECT_NE(program->stderrText().find("lost the connection to the Wayland compositor"),
              std::string::npos)
        << program->stderrText();
}

}  // namespace
