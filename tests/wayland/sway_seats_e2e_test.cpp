// Seats that come and go on sway (headless, pixman): the program starts on
// sway's first seat with no devices; a seat made later, with the test's
// own virtual pointer and keyboard on it, must drive the notice and the
// viewer; when that seat is removed (a config reload drops seats the
// config does not name), devices on the first seat drive it again.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/e2e/frame_analysis.h"
#include "tests/support/image_file.h"
#include "tests/support/picture_waits.h"
#include "tests/support/program_process.h"
#include "tests/support/sway_server.h"
#include "tests/support/virtual_input.h"
#include "tests/support/wait_for.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

class SwaySeats : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sway_.running()) << "sway did not start";
        program_.emplace(sway_.programCopy(MORVANE_WAYLAND_PROGRAM), std::nullopt,
                         sway_.clientEnvironment());
        ASSERT_TRUE(program_->started());
        notice_ = waitForValue(
            [&] {
                const RgbImage output = sway_.screenshot();
                return output.empty() ? std::nullopt : filledCorners(output, kBoxFace, 8);
            },
            60s, 100ms);
        ASSERT_TRUE(notice_) << program_->stderrText() << keep("no-notice");
    }

    // A new seat, named in no config, with the test's devices on it.
    bool plugIntoNewSeat() {
        if (sway_.message("seat seat1 fallback false").find("\"success\": true") ==
            std::string::npos) {
            return false;
        }
        input_.emplace(sway_.clientEnvironment(), "seat1");
        return input_->ready() && input_->plugKeyboard() && input_->plugPointer();
    }

    // Clicks on the notice's OK until the viewer shows: clicks that come
    // before the program has the new seat's pointer are lost.
    std::optional<Area> openViewerByClick() {
        const RgbImage output = sway_.screenshot();
        const PixelBox ok =
            output.empty() ? PixelBox{} : lowerDarkPixels(cropped(output, *notice_));
        if (ok.empty()) {
            return std::nullopt;
        }
        const int x = notice_->x + (ok.left + ok.right) / 2;
        const int y = notice_->y + (ok.top + ok.bottom) / 2;
        return waitForValue(
            [&]() -> std::optional<Area> {
                input_->moveTo(x, y, kWidth, kHeight);
                input_->leftButton(true);
                input_->leftButton(false);
                const RgbImage now = sway_.screenshot();
                return now.empty() ? std::nullopt : filledCorners(now, kViewerBackground);
            },
            30s, 500ms);
    }

    RgbImage viewerShot(const Area& area) {
        const RgbImage output = sway_.screenshot();
        return output.empty() ? output : cropped(output, area);
    }

    // A click stops it, then f fogs it and a drag released while moving
    // spins it again; empty when all went as it should, else what failed.
    std::string clickFogAndDrag(const Area& viewer) {
        const int middleX = viewer.x + viewer.width / 2;
        const int middleY = viewer.y + viewer.height / 2;
        const auto shot = [&] { return viewerShot(viewer); };
        input_->moveTo(middleX, middleY, kWidth, kHeight);
        const auto stopped = waitForValue(
            [&] {
                input_->leftButton(true);
                input_->leftButton(false);
                return waitForStillPicture(shot, 1s, 4s);
            },
            30s);
        if (!stopped) {
            return "a click did not stop it" + keep("click");
        }
        input_->tap(KEY_F);
        if (!waitForPicture(
                shot, [&](const RgbImage& now) { return now != *stopped; }, 20s, 50ms)) {
            return "f changed nothing" + keep("f");
        }
        input_->leftButton(true);
        for (int step = 1; step <= 10; ++step) {
            input_->moveTo(middleX + step * 15, middleY, kWidth, kHeight);
        }
        input_->leftButton(false);
        if (waitForStillPicture(shot, 500ms, 5s)) {
            return "a drag released while moving left it still" + keep("drag");
        }
        return {};
    }

    void escapeEndsIt() {
        ASSERT_TRUE(input_->tap(KEY_ESC));
        const auto exit = program_->waitForExit(20s);
        ASSERT_TRUE(exit) << "Esc did not end it" << keep("escape");
        EXPECT_TRUE(exit->exited);
        EXPECT_EQ(exit->status, 0) << program_->stderrText();
    }

    std::string keep(const std::string& name) {
        const RgbImage output = sway_.screenshot();
        const std::string path = "sway-seats-" + name + ".png";
        return !output.empty() && savePng(output, path) ? " (kept " + path + ")" : "";
    }

    SwayServer sway_{kWidth, kHeight};
    std::optional<ProgramProcess> program_;
    std::optional<Area> notice_;
    std::optional<VirtualInput> input_;
};

TEST_F(SwaySeats, ASeatMadeLaterDrivesTheNoticeAndTheViewer) {
    ASSERT_TRUE(plugIntoNewSeat()) << "no second seat with virtual devices";
    const auto viewer = openViewerByClick();
    ASSERT_TRUE(viewer) << "a click on OK through the new seat did nothing"
                        << program_->stderrText() << keep("later-no-viewer");
    const std::string failed = clickFogAndDrag(*viewer);
    EXPECT_TRUE(failed.empty()) << failed;
    escapeEndsIt();
}

// sway 1.7 destroys a removed seat's device objects under its clients, so
// a client that releases them is cut off: the devices go first, then the
// seat, then new devices on the seat that remains drive it.
TEST_F(SwaySeats, ARemovedSeatGivesWayToTheSeatThatRemains) {
    ASSERT_TRUE(plugIntoNewSeat()) << "no second seat with virtual devices";
    const auto viewer = openViewerByClick();
    ASSERT_TRUE(viewer) << program_->stderrText() << keep("removed-no-viewer");
    const std::string failedBefore = clickFogAndDrag(*viewer);  // ends turning
    ASSERT_TRUE(failedBefore.empty()) << failedBefore;
    ASSERT_TRUE(input_->unplugKeyboard() && input_->unplugPointer());
    // Two new frames of the turning model: it has read the unplug.
    const auto shot = [&] { return viewerShot(*viewer); };
    for (int frame = 0; frame < 2; ++frame) {
        const RgbImage before = shot();
        ASSERT_TRUE(waitForPicture(
            shot, [&](const RgbImage& now) { return now != before; }, 10s, 20ms))
            << "it stopped turning" << keep("removed-still");
    }
    sway_.message("reload");
    ASSERT_EQ(sway_.message("-t get_seats").find("seat1"), std::string::npos)
        << "the reload kept the seat";
    input_.emplace(sway_.clientEnvironment(), "seat0");
    ASSERT_TRUE(input_->ready() && input_->plugKeyboard() && input_->plugPointer());
    const std::string failed = clickFogAndDrag(*viewer);
    EXPECT_TRUE(failed.empty()) << failed << program_->stderrText();
    escapeEndsIt();
}

}  // namespace
