// The viewer on mutter 43 (nested in a private Xvfb) at fractional output
// scales, which mutter offers only as an experimental feature and without
// wp_fractional_scale_v1: it says scale 2 for the output and gives the
// logical size through zxdg_output_v1. The window must still cover 0.8 of
// the output's height. The Xvfb's root window shows the output in
// logical pixels: nested mutter scales its whole picture down to them.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/mutter_server.h"
#include "tests/support/program_process.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/root_output.h"
#include "tests/wayland/viewer_area.h"

namespace {

constexpr int kDeviceWidth = 1920;
constexpr int kDeviceHeight = 1080;

class GnomeFractional : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(mutter_.running()) << "mutter did not start";
        ASSERT_NE(x_.get(), nullptr);
    }

    static int logical(int device) { return static_cast<int>(device / GetParam()); }

    XvfbServer xvfb_{std::to_string(kDeviceWidth) + "x" + std::to_string(kDeviceHeight) + "x24"};
    MutterServer mutter_{xvfb_.display(), kDeviceWidth, kDeviceHeight, GetParam()};
    XConnection x_{xvfb_.display()};
    RootOutput root_{x_.get(), logical(kDeviceWidth), logical(kDeviceHeight), "gnome-fractional"};
    ProgramProcess program_{MORVANE_WAYLAND_PROGRAM, std::nullopt, mutter_.clientEnvironment()};
};

// Shown in logical pixels, the window is 0.8 of the output's logical
// height; the buffer is resampled twice on the way, so an edge may lose a
// pixel to blending.
TEST_P(GnomeFractional, TheWindowIsEightTenthsOfTheOutputsHeight) {
    const int side = logical(kDeviceHeight) * 8 / 10;
    const std::string name = "scale-" + std::to_string(static_cast<int>(GetParam() * 100));
    ASSERT_TRUE(root_.waitForArea(kBoxFace, 8))
        << program_.stderrText() << root_.keep(name + "-no-notice");
    tapKey(x_.get(), XK_Return);
    const auto viewer = root_.waitForArea(kViewerBackground, 40);
    ASSERT_TRUE(viewer) << program_.stderrText() << root_.keep(name + "-no-viewer");
    std::printf("mutter at %.2f: viewer %d x %d of %d x %d logical pixels%s\n", GetParam(),
                viewer->width, viewer->height, logical(kDeviceWidth), logical(kDeviceHeight),
                root_.keep(name).c_str());
    EXPECT_NEAR(viewer->width, side, 3);
    EXPECT_NEAR(viewer->height, side, 3);
}

INSTANTIATE_TEST_SUITE_P(Scales, GnomeFractional, ::testing::Values(1.25, 1.5),
                         [](const auto& info) {
                             return "Scale" + std::to_string(static_cast<int>(info.param * 100));
                         });

}  // namespace
