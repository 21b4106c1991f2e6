// A smoke test on GNOME's compositor (mutter 43, nested in a private
// Xvfb): the notice, the window with libdecor's frame, a click that stops
// the model, f, and Esc.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/support/image_file.h"
#include "tests/support/mutter_server.h"
#include "tests/support/picture_waits.h"
#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/root_output.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kSide = kHeight * 8 / 10;

// Pixels of the band just above the picture that are a title bar's: its
// near-black ground or its light text and buttons, not the blue desktop.
int titleBarAbove(const RgbImage& image, const Area& area, int band) {
    int count = 0;
    for (int y = std::max(0, area.y - band); y < area.y; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const Rgb pixel = image.at(x, y);
            const int sum = pixel.r + pixel.g + pixel.b;
            count += sum < 3 * 40 || sum > 3 * 150 ? 1 : 0;
        }
    }
    return count;
}

class GnomeViewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(mutter_.running()) << "mutter did not start";
        ASSERT_NE(x_.get(), nullptr);
    }

    std::optional<RgbImage> output() { return root_.shot(); }
    std::optional<Area> waitForArea(Rgb colour, int square) {
        return root_.waitForArea(colour, square);
    }
    std::string keep(const std::string& name) { return root_.keep(name); }

    XvfbServer xvfb_{std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24"};
    MutterServer mutter_{xvfb_.display(), kWidth, kHeight};
    XConnection x_{xvfb_.display()};
    RootOutput root_{x_.get(), kWidth, kHeight, "gnome"};
    ProgramProcess program_{MORVANE_WAYLAND_PROGRAM, std::nullopt, mutter_.clientEnvironment()};
};

TEST_F(GnomeViewer, NoticeFramedWindowClickFogAndEscape) {
    ASSERT_TRUE(waitForArea(kBoxFace, 8)) << program_.stderrText() << keep("no-notice");
    tapKey(x_.get(), XK_Return);
    const auto viewer = waitForArea(kViewerBackground, 40);
    ASSERT_TRUE(viewer) << program_.stderrText() << keep("no-viewer");
    EXPECT_NEAR(viewer->width, kSide, 1) << keep("size");
    EXPECT_NEAR(viewer->height, kSide, 1);
    const auto framed = output();
    ASSERT_TRUE(framed);
    EXPECT_GE(titleBarAbove(*framed, *viewer, 20), viewer->width * 20 * 8 / 10)
        << "no title bar above the picture" << keep("frame");

    // mutter may miss the first motion over a new window: move twice.
    const int x = viewer->x + viewer->width / 2;
    const int y = viewer->y + viewer->height / 2;
    const auto shot = [&] {
        const auto picture = output();
        return picture ? cropped(*picture, *viewer) : RgbImage{};
    };
    movePointer(x_.get(), x - 10, y);
    movePointer(x_.get(), x, y);
    const auto stopped = waitForValue(
        [&] {
            pressButton(x_.get());
            releaseButton(x_.get());
            return waitForStillPicture(shot, 1s, 4s);
        },
        30s);
    ASSERT_TRUE(stopped) << "a click did not stop it" << keep("click");
    tapKey(x_.get(), XK_f);
    EXPECT_TRUE(waitForPicture(
        shot, [&](const RgbImage& now) { return now != *stopped; }, 20s, 50ms))
        << "f changed nothing" << keep("f");
    tapKey(x_.get(), XK_Escape);
    const auto exit = program_.waitForExit(20s);
    ASSERT_TRUE(exit) << "Esc did not end it";
    EXPECT_EQ(exit->status, 0) << program_.stderrText();
}

}  // namespace
