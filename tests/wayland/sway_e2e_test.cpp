// The viewer on sway (headless, pixman) with the test's own virtual pointer
// and keyboard: devices unplugged and plugged again while it runs, and the
// output's scale changed under it and under the notice. grim shows the
// output in device pixels.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "tests/support/image_file.h"
#include "tests/support/picture_waits.h"
#include "tests/support/program_process.h"
#include "tests/support/sway_server.h"
#include "tests/support/text_match.h"
#include "tests/support/virtual_input.h"
#include "tests/support/wait_for.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr int kDeviceWidth = 1280;
constexpr int kDeviceHeight = 1024;
// 0.8 of the device height, as the program makes it at any scale; at scale
// 2 a surface's size is even, so one pixel less.
constexpr int kSide = kDeviceHeight * 8 / 10;

class SwayViewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sway_.running()) << "sway did not start";
        ASSERT_TRUE(input_.ready()) << "no virtual input protocols";
        ASSERT_TRUE(input_.plugKeyboard());
        ASSERT_TRUE(input_.plugPointer());
        program_.emplace(sway_.programCopy(MORVANE_WAYLAND_PROGRAM), std::nullopt,
                         sway_.clientEnvironment());
        ASSERT_TRUE(program_->started());
    }

    std::optional<Area> viewerNow() {
        const RgbImage output = sway_.screenshot();
        return output.empty() ? std::nullopt : filledCorners(output, kViewerBackground);
    }

    // Return until the notice has gone and the viewer shows: the notice
    // may not have the keyboard yet when the first one comes.
    std::optional<Area> openViewer() {
        return waitForValue(
            [&] {
                input_.tap(KEY_ENTER);
                return viewerNow();
            },
            60s, 500ms);
    }

    // The viewer's part of the output.
    RgbImage viewerShot(const Area& area) {
        const RgbImage output = sway_.screenshot();
        return output.empty() ? output : cropped(output, area);
    }

    // Layout coordinates of the output at this scale.
    bool pointAt(int deviceX, int deviceY, int scale) {
        return input_.moveTo(deviceX / scale, deviceY / scale, kDeviceWidth / scale,
                             kDeviceHeight / scale);
    }

    std::string keep(const std::string& name) {
        const RgbImage output = sway_.screenshot();
        const std::string path = "sway-" + name + ".png";
        return !output.empty() && savePng(output, path) ? " (kept " + path + ")" : "";
    }

    // Where the line is drawn exactly as the box drew it, and the box
    // around it; nullopt until both show.
    struct BoxSeen {
        Area box;
        PixelSpot line;
    };
    std::optional<BoxSeen> boxNow(const TextPattern& line) {
        const RgbImage output = sway_.screenshot();
        const auto box = output.empty() ? std::nullopt : filledCorners(output, kBoxFace, 8);
        const auto spots = box ? findExactly(output, line.image) : std::vector<PixelSpot>{};
        if (spots.size() != 1) {
            return std::nullopt;
        }
        return BoxSeen{*box, spots[0]};
    }

    SwayServer sway_{kDeviceWidth, kDeviceHeight};
    VirtualInput input_{sway_.clientEnvironment()};
    std::optional<ProgramProcess> program_;
};

// A keyboard and a pointer unplugged and plugged again (a KVM switch, a
// dock): a click stops the turning model, f fogs it, a drag spins it
// again and Esc ends the program, all through the new devices.
TEST_F(SwayViewer, RepluggedKeyboardAndPointerStillDriveTheViewer) {
    const auto viewer = openViewer();
    ASSERT_TRUE(viewer) << program_->stderrText() << keep("replug-no-viewer");
    ASSERT_TRUE(input_.unplugKeyboard() && input_.unplugPointer());
    ASSERT_TRUE(input_.plugKeyboard() && input_.plugPointer());

    const int middleX = viewer->x + viewer->width / 2;
    const int middleY = viewer->y + viewer->height / 2;
    const auto shot = [&] { return viewerShot(*viewer); };
    // Clicks until one stops it: what comes before the program has asked
    // for its new pointer is lost, as on any replug.
    ASSERT_TRUE(pointAt(middleX, middleY, 1));
    const auto stopped = waitForValue(
        [&] {
            input_.leftButton(true);
            input_.leftButton(false);
            return waitForStillPicture(shot, 1s, 4s);
        },
        30s);
    ASSERT_TRUE(stopped) << "a click after the pointer's replug did not stop it"
                         << keep("replug-click");

    ASSERT_TRUE(input_.tap(KEY_F));
    const auto fogged = waitForPicture(
        shot, [&](const RgbImage& now) { return now != *stopped; }, 20s, 50ms);
    EXPECT_TRUE(fogged) << "f after the keyboard's replug changed nothing" << keep("replug-f");

    ASSERT_TRUE(input_.leftButton(true));
    for (int step = 1; step <= 10; ++step) {
        ASSERT_TRUE(pointAt(middleX + step * 15, middleY, 1));
    }
    ASSERT_TRUE(input_.leftButton(false));
    const auto still = waitForStillPicture(shot, 500ms, 5s);
    EXPECT_FALSE(still) << "a drag released while moving left it still" << keep("replug-drag");

    ASSERT_TRUE(input_.tap(KEY_ESC));
    const auto exit = program_->waitForExit(20s);
    ASSERT_TRUE(exit) << "Esc after the keyboard's replug did not end it";
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 0) << program_->stderrText();
}

// The output's scale changed while the model turns, 1 -> 2 -> 1: each time
// the window is 0.8 of the output's device height, drawn one drawable
// pixel per device pixel (steps inside aligned pixel pairs, which a
// picture doubled from half the resolution has none of).
TEST_F(SwayViewer, TheWindowKeepsItsDeviceSizeAcrossScaleChanges) {
    const auto first = openViewer();
    ASSERT_TRUE(first) << program_->stderrText() << keep("scale-no-viewer");
    EXPECT_NEAR(first->width, kSide, 1);
    EXPECT_NEAR(first->height, kSide, 1);

    for (const int scale : {2, 1}) {
        sway_.message("output HEADLESS-1 scale " + std::to_string(scale));
        const auto sized = [&](const std::optional<Area>& area) {
            return area && std::abs(area->width - kSide) <= 1 &&
                   std::abs(area->height - kSide) <= 1;
        };
        const auto area = waitForValue(
            [&]() -> std::optional<Area> {
                const auto now = viewerNow();
                return sized(now) ? now : std::nullopt;
            },
            20s, 100ms);
        const auto last = viewerNow();
        ASSERT_TRUE(area) << "at scale " << scale << " the viewer is "
                          << (last ? std::to_string(last->width) + " x " +
                                         std::to_string(last->height)
                                   : std::string("not found"))
                          << keep("scale-" + std::to_string(scale) + "-size");
        const bool crisp = waitFor(
            [&] {
                const RgbImage picture = viewerShot(*area);
                return !picture.empty() &&
                       hardStepsInsidePairs(picture, kViewerBackground, 100) >= 200;
            },
            10s, 100ms);
        EXPECT_TRUE(crisp) << "at scale " << scale << " it looks upscaled"
                           << keep("scale-" + std::to_string(scale) + "-crisp");
    }
    EXPECT_TRUE(program_->running()) << program_->stderrText();
}

// The output's scale changed to 2 under the notice: the box keeps its
// size in device pixels and its text, drawn at 96 dpi, shows pixel for
// pixel as before, not doubled; a click on OK, in the new logical
// coordinates, dismisses it.
TEST_F(SwayViewer, TheNoticeKeepsItsDevicePixelsAcrossAScaleChange) {
    const auto text = drawDialogTextPattern(kUsageNotice, 96, kBoxInk, kBoxFace);
    const auto ok = drawDialogTextPattern("OK", 96, kBoxInk, kBoxFace);
    ASSERT_TRUE(text && ok) << "no sans-serif font from fontconfig";
    const auto before = waitForValue([&] { return boxNow(*text); }, 30s, 100ms);
    ASSERT_TRUE(before) << program_->stderrText() << keep("box-scale-1");

    sway_.message("output HEADLESS-1 scale 2");
    // sway keeps a floating window's logical place, which may now be near
    // the output's far corner: centred, all of the box shows.
    const auto centred = [&] {
        sway_.message("'[app_id=morvane] move position center'");
        return sway_.screenshot();
    };
    const auto after = waitForValue(
        [&]() -> std::optional<BoxSeen> {
            centred();
            const auto now = boxNow(*text);
            return now && std::abs(now->box.width - before->box.width) <= 1 &&
                           std::abs(now->box.height - before->box.height) <= 1
                       ? now
                       : std::nullopt;
        },
        20s, 100ms);
    const RgbImage last = centred();
    const auto lastBox = last.empty() ? std::nullopt : filledCorners(last, kBoxFace, 8);
    ASSERT_TRUE(after) << "at scale 2 the notice, " << before->box.width << " x "
                       << before->box.height << " at 1, is "
                       << (lastBox ? std::to_string(lastBox->width) + " x " +
                                         std::to_string(lastBox->height)
                                   : std::string("not found"))
                       << (findExactly(last, text->image).empty() ? ", its text not as drawn" : "")
                       << keep("box-scale-2");
    // The line keeps its place in the box, to the pixel.
    EXPECT_EQ(after->line.x - after->box.x, before->line.x - before->box.x);
    EXPECT_EQ(after->line.y - after->box.y, before->line.y - before->box.y);

    const auto okSpots = findExactly(sway_.screenshot(), ok->image);
    ASSERT_EQ(okSpots.size(), 1u) << keep("box-scale-2-button");
    ASSERT_TRUE(
        pointAt(okSpots[0].x + ok->image.width / 2, okSpots[0].y + ok->image.height / 2, 2));
    ASSERT_TRUE(input_.leftButton(true) && input_.leftButton(false));
    EXPECT_TRUE(waitFor([&] { return viewerNow().has_value(); }, 20s, 100ms))
        << "a click on OK at scale 2 did not dismiss the notice" << keep("box-scale-2-click");
}

}  // namespace
