// The trackball of the real program on Xvfb, driven by XTest mouse input.

// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cmath>
#include <cstdio>

#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/model_silhouette.h"
#include "tests/e2e/viewer_session.h"
#include "tests/support/frame_watch.h"
#include "tests/support/process_cpu.h"
#include "tests/support/xtest_input.h"

using namespace std::chrono_literals;

namespace {

constexpr int kSide = 819;  // the window on a 1024-pixel-high screen
constexpr int kCentre = kSide / 2;

class TrackballEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.openViewer()) << "the viewer did not open"; }

    std::optional<RgbImage> stop() { return session.stopWithClick(300, 200); }

    void moveInMain(int x, int y) { movePointerInto(session.display(), session.main(), x, y); }

    ViewerSession session;
};

TEST_F(TrackballEndToEnd, ClickWithoutMovementStopsTheModelAndTheProcessSleeps) {
    FrameWatch frames(session.displayName(), session.main());
    ASSERT_TRUE(frames.ok());
    ASSERT_TRUE(frames.waitForCount(3, kLongWait)) << "not spinning";
    moveInMain(300, 200);
    pressButton(session.display());
    // The server has the press: what it recorded before is flushed to us.
    frames.poll();
    const size_t atPress = frames.count();
    ASSERT_TRUE(frames.waitForQuiet(500ms, kLongWait)) << "still drawing with the button down";
    // The frame being drawn when the press came, and at most one more.
    EXPECT_LE(frames.count() - atPress, 2u);
    const RgbImage held = session.shot();

    // Counted before the release, so that its frame cannot slip in first.
    const size_t atRelease = frames.count();
    releaseButton(session.display());
    ASSERT_TRUE(frames.waitForCount(atRelease + 1, kLongWait)) << "no frame after the release";
    ASSERT_TRUE(frames.waitForQuiet(500ms, kLongWait));
    // The release asks for one frame, which no longer turns the model.
    EXPECT_EQ(frames.count() - atRelease, 1u);
    EXPECT_EQ(session.shot(), held) << session.keep(session.shot(), "released");
    EXPECT_TRUE(session.staysTheSame(held, 1s)) << session.keep(session.shot(), "moved");

    const pid_t pid = session.program().pid();
    const auto before = processCpuTime(pid);
    ASSERT_TRUE(before);
    EXPECT_TRUE(session.staysTheSame(held, 3s));
    const auto after = processCpuTime(pid);
    ASSERT_TRUE(after);
    EXPECT_LT(*after - *before, 10ms) << "busy while stopped";
    frames.poll();
    EXPECT_EQ(frames.count(), atRelease + 1) << "frames drawn while stopped";
}

TEST_F(TrackballEndToEnd, DragAndReleaseKeepsItSpinningEvenAfterAPause) {
    ASSERT_TRUE(stop());
    moveInMain(kCentre, kCentre);
    pressButton(session.display());
    moveInMain(kCentre + 20, kCentre + 5);
    moveInMain(kCentre + 40, kCentre + 10);
    // Resting before the release keeps the last move's increment.
    const auto resting = session.waitForStill(300ms);
    ASSERT_TRUE(resting);
    releaseButton(session.display());

    const auto next = session.waitForChangeFrom(*resting);
    ASSERT_TRUE(next) << "stopped after the release";
    const auto again = session.waitForChangeFrom(*next);
    ASSERT_TRUE(again) << "turned once and stopped";
    EXPECT_TRUE(session.waitForChangeFrom(*again)) << "not spinning on";
}

TEST_F(TrackballEndToEnd, DragLeavingTheWindowKeepsTurningTheModel) {
    ASSERT_TRUE(stop());
    moveInMain(kCentre, kCentre);
    pressButton(session.display());
    // The window stands at x = 50 on the root: these are left of it.
    moveInMain(-40, kCentre);
    const auto outside = session.waitForStill(200ms);
    ASSERT_TRUE(outside);
    moveInMain(-40, kCentre + 300);
    const auto further = session.waitForChangeFrom(*outside);
    EXPECT_TRUE(further) << "no turn while the pointer was outside";
    moveInMain(-45, -30);  // above and left: both coordinates negative
    EXPECT_TRUE(further && session.waitForChangeFrom(*further)) << "no turn above-left";
    releaseButton(session.display());
    EXPECT_TRUE(session.program().running());
}

TEST_F(TrackballEndToEnd, AfterAStopFogRedrawsOnceWithoutTurning) {
    const auto stopped = stop();
    ASSERT_TRUE(stopped);
    FrameWatch frames(session.displayName(), session.main());
    ASSERT_TRUE(frames.ok());
    session.typeKey(XK_f);
    const auto fogged = session.waitForBackground(kFogBackground);
    ASSERT_TRUE(fogged) << session.keep(session.shot(), "no-fog");
    ASSERT_TRUE(frames.waitForQuiet(500ms, kLongWait));
    EXPECT_EQ(frames.count(), 1u) << "f should draw exactly one frame";
    // Fog tints the model, so compare where it is, not its colours.
    EXPECT_GT(overlap(modelMask(*stopped, kPlainBackground), modelMask(*fogged, kFogBackground)),
              0.98)
        << session.keep(*stopped, "before") << session.keep(*fogged, "fogged");
    EXPECT_TRUE(session.staysTheSame(*fogged, 1s)) << "kept drawing after one frame";

    session.typeKey(XK_f);
    const auto plain = session.waitForBackground(kPlainBackground);
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, *stopped) << "the model turned" << session.keep(*plain, "after");
}

// The trackball vector of a client pixel, for the window's own frame.
struct Ball {
    double x, y, z;
};

Ball ballPoint(int px, int py) {
    const double x = (2.0 * px - kSide) / kSide;
    const double y = (kSide - 2.0 * py) / kSide;
    const double d = std::min(1.0, std::sqrt(x * x + y * y));
    const double z = std::cos(d * 1.5707964);
    const double length = std::sqrt(x * x + y * y + z * z);
    return {x / length, y / length, z / length};
}

// Compares the picture after one drag step to the outlines that each turning
// direction would give, starting from the stopped orientation.
TEST_F(TrackballEndToEnd, DragToTheRightTurnsTheNearSideToTheRight) {
    // Stopped before any other input, the model has turned only by the
    // initial increment: 2 degrees about (0.3, 0.2, 0.4) per frame.
    const auto stopped = stop();
    ASSERT_TRUE(stopped);
    ASSERT_EQ(stopped->width, kSide);
    const PixelMask seen = modelMask(*stopped, kPlainBackground);
    Rotation orientation;
    double bestFit = -1.0;
    for (int frames = 0; frames < 180; ++frames) {
        const Rotation candidate = rotationAbout(2.0 * frames, 0.3, 0.2, 0.4);
        const double fit = overlap(seen, modelSilhouette(candidate, kSide, kSide));
        if (fit > bestFit) {
            bestFit = fit;
            orientation = candidate;
        }
    }
    ASSERT_GT(bestFit, 0.9) << "the stopped picture matches no orientation of the spin"
                            << session.keep(*stopped, "stopped");

    const int endX = kCentre + 150;
    moveInMain(kCentre, kCentre);
    pressButton(session.display());
    moveInMain(endX, kCentre);
    const auto turned = session.waitForChangeFrom(*stopped);
    ASSERT_TRUE(turned) << "the drag did not turn the model";
    const auto settled = session.waitForStill(300ms);
    ASSERT_TRUE(settled);
    releaseButton(session.display());

    const Ball u = ballPoint(kCentre, kCentre);
    const Ball v = ballPoint(endX, kCentre);
    const double angle = 90.0 * std::sqrt((v.x - u.x) * (v.x - u.x) + (v.y - u.y) * (v.y - u.y) +
                                          (v.z - u.z) * (v.z - u.z));
    const Ball axis = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const PixelMask after = modelMask(*settled, kPlainBackground);
    const double nearSideRight = overlap(
        after,
        modelSilhouette(rotationAbout(angle, axis.x, axis.y, axis.z) * orientation, kSide, kSide));
    const double nearSideLeft = overlap(
        after,
        modelSilhouette(rotationAbout(-angle, axis.x, axis.y, axis.z) * orientation, kSide, kSide));
    std::printf("orientation fit %.3f; after the drag: near side right %.3f, left %.3f\n", bestFit,
                nearSideRight, nearSideLeft);
    EXPECT_GT(nearSideRight, 0.9) << session.keep(*settled, "dragged");
    EXPECT_GT(nearSideRight, nearSideLeft + 0.1)
        << "right " << nearSideRight << ", left " << nearSideLeft
        << session.keep(*settled, "dragged");
}

}  // namespace
