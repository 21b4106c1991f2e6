// The viewer on KWin (nested in a private Xvfb) at output scales 1, 1.25
// and 1.5. KWin offers wp_fractional_scale_v1: at each scale the window is
// 0.8 of the output's device height and drawn one drawable pixel per
// device pixel. The Xvfb's root window shows KWin's output.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "tests/support/image_file.h"
#include "tests/support/kwin_server.h"
#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr int kDeviceWidth = 1920;
constexpr int kDeviceHeight = 1080;
constexpr int kSide = kDeviceHeight * 8 / 10;

class KdeViewer : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(kwin_.running()) << "kwin_wayland did not start";
        ASSERT_NE(x_.get(), nullptr);
    }

    std::optional<RgbImage> output() {
        return captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0, kDeviceWidth,
                           kDeviceHeight);
    }

    // The area once it holds still, through KWin's opening animation.
    std::optional<Area> waitForArea(Rgb colour, int square) {
        const auto same = [](const std::optional<Area>& a, const std::optional<Area>& b) {
            return a && b && a->x == b->x && a->y == b->y && a->width == b->width &&
                   a->height == b->height;
        };
        const auto area = waitForSteady(
            [&]() -> std::optional<Area> {
                const auto picture = output();
                return picture ? filledCorners(*picture, colour, square) : std::nullopt;
            },
            same, 1s, 60s, 100ms);
        return area ? *area : std::nullopt;
    }

    std::string keep(const std::string& name) {
        const auto picture = output();
        const std::string path = "kde-" + name + ".png";
        return picture && savePng(*picture, path) ? " (kept " + path + ")" : "";
    }

    static int logical(int device) { return static_cast<int>(device / GetParam()); }

    XvfbServer xvfb_{std::to_string(kDeviceWidth) + "x" + std::to_string(kDeviceHeight) + "x24"};
    KwinServer kwin_{xvfb_.display(), logical(kDeviceWidth), logical(kDeviceHeight), GetParam()};
    XConnection x_{xvfb_.display()};
    ProgramProcess program_{MORVANE_WAYLAND_PROGRAM, std::nullopt, kwin_.clientEnvironment()};
};

TEST_P(KdeViewer, TheWindowIsEightTenthsOfTheDeviceHeightAndDrawnOneToOne) {
    const std::string name = "scale-" + std::to_string(static_cast<int>(GetParam() * 100));
    ASSERT_TRUE(waitForArea(kBoxFace, 8)) << program_.stderrText() << keep(name + "-no-notice");
    tapKey(x_.get(), XK_Return);
    const auto viewer = waitForArea(kViewerBackground, 40);
    ASSERT_TRUE(viewer) << program_.stderrText() << keep(name + "-no-viewer");
    EXPECT_NEAR(viewer->width, kSide, 1) << keep(name + "-size");
    EXPECT_NEAR(viewer->height, kSide, 1);
    const auto picture = output();
    ASSERT_TRUE(picture);
    const int steps = hardStepsInsidePairs(cropped(*picture, *viewer), kViewerBackground, 100);
    std::printf("KWin at %.2f: viewer %d x %d device pixels, %d one-pixel steps%s\n", GetParam(),
                viewer->width, viewer->height, steps, keep(name).c_str());
    EXPECT_GE(steps, 200) << "it looks resampled";
}

INSTANTIATE_TEST_SUITE_P(Scales, KdeViewer, ::testing::Values(1.0, 1.25, 1.5),
                         [](const auto& info) {
                             return "Scale" + std::to_string(static_cast<int>(info.param * 100));
                         });

}  // namespace
