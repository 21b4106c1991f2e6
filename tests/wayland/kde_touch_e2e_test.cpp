// The viewer on KWin (nested in a private Xvfb, scale 1) driven by touch
// through KWin's fake-input protocol: the first finger acts as the left
// button, other fingers are ignored while it is down. The Xvfb's root
// window shows KWin's output, whose logical coordinates are its pixels.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/e2e/frame_analysis.h"
#include "tests/support/fake_touch.h"
#include "tests/support/kwin_server.h"
#include "tests/support/picture_waits.h"
#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_connection.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/root_output.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

class KdeTouch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(kwin_.running()) << "kwin_wayland did not start";
        ASSERT_NE(x_.get(), nullptr);
        ASSERT_TRUE(touch_.ready()) << "KWin offers no fake input with touch";
    }

    // Taps on the notice's OK button until the viewer shows: the first
    // tap may come before KWin has mapped the notice where it is drawn.
    std::optional<Area> openViewerByTouch() {
        const auto notice = root_.waitForArea(kBoxFace, 8);
        const auto picture = root_.shot();
        if (!notice || !picture) {
            return std::nullopt;
        }
        const PixelBox ok = lowerDarkPixels(cropped(*picture, *notice));
        if (ok.empty()) {
            return std::nullopt;
        }
        const double x = notice->x + (ok.left + ok.right) / 2.0;
        const double y = notice->y + (ok.top + ok.bottom) / 2.0;
        return waitForValue(
            [&]() -> std::optional<Area> {
                touch_.tap(x, y);
                const auto now = root_.shot();
                return now ? filledCorners(*now, kViewerBackground) : std::nullopt;
            },
            30s, 500ms);
    }

    RgbImage viewerShot(const Area& area) {
        const auto picture = root_.shot();
        return picture ? cropped(*picture, area) : RgbImage{};
    }

    XvfbServer xvfb_{std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24"};
    KwinServer kwin_{xvfb_.display(), kWidth, kHeight, 1.0, true};
    XConnection x_{xvfb_.display()};
    RootOutput root_{x_.get(), kWidth, kHeight, "kde-touch"};
    FakeTouch touch_{kwin_.clientEnvironment()};
    ProgramProcess program_{MORVANE_WAYLAND_PROGRAM, std::nullopt, kwin_.clientEnvironment()};
};

// A tap on OK opens the viewer; a finger that stays put stops the model
// (picture and CPU still); a second finger moving while the first rests
// turns nothing; the first finger's drag turns it and, lifted while
// moving, leaves it spinning; after a cancelled touch a new one drags.
TEST_F(KdeTouch, TheFirstFingerActsAsTheLeftButton) {
    const auto viewer = openViewerByTouch();
    ASSERT_TRUE(viewer) << program_.stderrText() << root_.keep("no-viewer");
    const double middleX = viewer->x + viewer->width / 2.0;
    const double middleY = viewer->y + viewer->height / 2.0;
    const auto shot = [&] { return viewerShot(*viewer); };
    const auto stopByTap = [&] {
        return waitForValue(
            [&] {
                touch_.tap(middleX, middleY);
                return waitForStillPicture(shot, 1s, 4s);
            },
            20s);
    };

    const auto stopped = stopByTap();
    ASSERT_TRUE(stopped) << "a tap did not stop it" << root_.keep("tap");
    EXPECT_TRUE(cpuSettles(program_.pid(), 500ms, 10s)) << "still drawing once stopped";

    ASSERT_TRUE(touch_.down(0, middleX, middleY));
    ASSERT_TRUE(touch_.down(1, middleX - 100, middleY - 100));
    for (int step = 1; step <= 10; ++step) {
        ASSERT_TRUE(touch_.motion(1, middleX - 100 + step * 20, middleY - 100));
    }
    EXPECT_TRUE(pictureStaysTheSame(shot, *stopped, 1s))
        << "a second finger turned it" << root_.keep("second-finger");
    ASSERT_TRUE(touch_.up(1));

    // Lifted while moving, a drag leaves it spinning.
    const auto flickSpins = [&] {
        for (int step = 1; step <= 10; ++step) {
            touch_.motion(0, middleX + step * 15, middleY);
        }
        touch_.up(0);
        return !waitForStillPicture(shot, 500ms, 5s);
    };
    EXPECT_TRUE(flickSpins()) << "a drag lifted while moving left it still" << root_.keep("drag");

    // Cancelled mid-drag: that finger is let go (a finger still held would
    // hold the model), so a new one turns it again.
    ASSERT_TRUE(touch_.down(7, middleX, middleY));
    ASSERT_TRUE(touch_.motion(7, middleX + 30, middleY + 30));
    ASSERT_TRUE(touch_.cancel());
    ASSERT_TRUE(touch_.down(0, middleX, middleY));
    EXPECT_TRUE(flickSpins()) << "a drag after a cancelled touch left it still"
                              << root_.keep("cancel");
    EXPECT_TRUE(program_.running()) << program_.stderrText();
}

}  // namespace
