// The real program's frames on Xvfb: the model drawn and turning, the two
// backgrounds, and the wire frame.

// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdio>

#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/viewer_session.h"

using namespace std::chrono_literals;

namespace {

class RenderingEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.openViewer()) << "the viewer did not open"; }
    ViewerSession session;
};

TEST_F(RenderingEndToEnd, ModelIsVisibleAndTurns) {
    const RgbImage first = session.shot();
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(hasBackground(first, kPlainBackground)) << session.keep(first, "first");
    const int covered = countSet(modelMask(first, kPlainBackground));
    const int area = first.width * first.height;
    // The model spans most of the view volume: far more than a few stray pixels.
    EXPECT_GT(covered, area / 20) << session.keep(first, "first");
    EXPECT_LT(covered, area * 3 / 4) << session.keep(first, "first");

    const auto later = session.waitForChangeFrom(first);
    ASSERT_TRUE(later) << "the model does not turn";
    const double same =
        overlap(modelMask(first, kPlainBackground), modelMask(*later, kPlainBackground));
    EXPECT_LT(same, 1.0) << "only colours changed, not the model's outline";
}

TEST_F(RenderingEndToEnd, FogChangesTheBackgroundAndFogAgainRestoresIt) {
    session.typeKey(XK_f);
    const auto fogged = session.waitForBackground(kFogBackground);
    ASSERT_TRUE(fogged) << "background never became 51,38,38" << session.keep(session.shot(), "f");
    EXPECT_GT(countSet(modelMask(*fogged, kFogBackground)), 1000) << session.keep(*fogged, "fog");

    session.typeKey(XK_f);
    const auto plain = session.waitForBackground(kPlainBackground);
    ASSERT_TRUE(plain) << "background never returned to 38,38,38"
                       << session.keep(session.shot(), "ff");
}

TEST_F(RenderingEndToEnd, WireFrameLightsFarFewerPixelsAndFillsAgain) {
    // Stopped, so that only the polygon mode changes between the pictures.
    const auto filled = session.stopWithClick(400, 300);
    ASSERT_TRUE(filled) << "the model did not stop";
    const int filledCount = countSet(modelMask(*filled, kPlainBackground));

    session.typeKey(XK_p);
    const auto wire = session.waitForChangeFrom(*filled);
    ASSERT_TRUE(wire) << "p drew nothing new";
    const int wireCount = countSet(modelMask(*wire, kPlainBackground));
    std::printf("model pixels: filled %d, wire frame %d\n", filledCount, wireCount);
    EXPECT_GT(wireCount, 1000) << session.keep(*wire, "wire");
    EXPECT_LT(wireCount, filledCount * 2 / 3)
        << "filled " << filledCount << ", wire " << wireCount << session.keep(*wire, "wire");

    session.typeKey(XK_p);
    const auto refilled = session.waitForChangeFrom(*wire);
    ASSERT_TRUE(refilled);
    EXPECT_EQ(*refilled, *filled) << session.keep(*refilled, "refilled");
}

}  // namespace
