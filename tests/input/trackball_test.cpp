// The virtual trackball: the dome mapping, the increments of a drag, and
// how a release stops or keeps the spin, run through the real shell.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "input/trackball.h"
#include "tests/shell/shell_fixture.h"

namespace {

float length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

float distance(const Vec3& u, const Vec3& v) {
    return length(Vec3{v.x - u.x, v.y - u.y, v.z - u.z});
}

void expectNear(const Vec3& actual, const Vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(TrackballPointTest, TheWorkedExampleIn864) {
    expectNear(trackballPoint(432, 432, 864, 864), {0.0f, 0.0f, 1.0f}, 1e-6f);
    expectNear(trackballPoint(648, 432, 864, 864), {0.57735f, 0.0f, 0.81650f}, 1e-5f);
}

TEST(TrackballPointTest, TheCentreOfAnyFrameMapsToTheViewer) {
    for (auto [w, h] : {std::pair{864, 864}, {614, 614}, {1000, 600}, {2, 2}}) {
        expectNear(trackballPoint(w / 2, h / 2, w, h), {0.0f, 0.0f, 1.0f}, 1e-6f);
    }
}

TEST(TrackballPointTest, XGrowsToTheRightAndYGrowsUpwards) {
    const Vec3 right = trackballPoint(600, 432, 864, 864);
    const Vec3 up = trackballPoint(432, 200, 864, 864);
    EXPECT_GT(right.x, 0.0f);
    EXPECT_NEAR(right.y, 0.0f, 1e-6f);
    EXPECT_GT(up.y, 0.0f);
    EXPECT_NEAR(up.x, 0.0f, 1e-6f);
}

TEST(TrackballPointTest, InsideTheCircleIsAUnitVectorOnTheDome) {
    for (auto [x, y] : {std::pair{432, 432}, {500, 300}, {100, 432}, {432, 800}, {300, 600}}) {
        const Vec3 v = trackballPoint(x, y, 864, 864);
        EXPECT_NEAR(length(v), 1.0f, 1e-6f) << x << "," << y;
        EXPECT_GT(v.z, 0.0f) << x << "," << y;
    }
}

TEST(TrackballPointTest, OnAndOutsideTheCircleLiesOnTheRimAtZeroHeight) {
    const std::vector<std::pair<int, int>> points = {
        {864, 432}, {0, 432},  {432, 0},    {432, 864},      {0, 0},          {864, 864},
        {-30, -40}, {-1, 500}, {900, 1000}, {-32768, 32767}, {32767, -32768}, {1000000, 5}};
    for (auto [x, y] : points) {
        const Vec3 v = trackballPoint(x, y, 864, 864);
        EXPECT_NEAR(v.z, 0.0f, 1e-6f) << x << "," << y;
        EXPECT_NEAR(length(v), 1.0f, 1e-6f) << x << "," << y;
        const float px = (2.0f * x - 864) / 864, py = (864 - 2.0f * y) / 864;
        EXPECT_NEAR(v.x * py - v.y * px, 0.0f, 1e-5f * std::hypot(px, py))
            << "keeps the direction of " << x << "," << y;
        EXPECT_GE(v.x * px + v.y * py, 0.0f) << x << "," << y;
    }
}

class TrackballTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        openWindow(864);
    }

    // Presses, moves, releases as the mouse does, through the window
    // procedure and the main loop; returns the frames drawn.
    static int mouse(UINT message, int x, int y) {
        scriptedPostMouse(message, x, y);
        return runUntilIdle();
    }
};

TEST_F(TrackballTest, TheWorkedExampleGivesTheIncrement) {
    beginDrag(432, 432);
    expectNear(viewer.lastBallVector, {0.0f, 0.0f, 1.0f}, 1e-6f);
    dragTo(648, 432);
    expectNear(viewer.lastBallVector, {0.57735f, 0.0f, 0.81650f}, 1e-5f);
    EXPECT_NEAR(viewer.spinAngle, 54.52f, 0.005f);
    expectNear(viewer.spinAxis, {0.0f, 0.57735f, 0.0f}, 1e-5f);
    EXPECT_EQ(viewer.idleHook, &idleRender);
}

TEST_F(TrackballTest, APressStartsADragWithoutAFrameOrANewIncrement) {
    beginDrag(100, 200);
    EXPECT_EQ(viewer.spinEnabled, 1);
    EXPECT_EQ(viewer.dragging, 1);
    EXPECT_EQ(viewer.keepAnimating, 0);
    EXPECT_EQ(viewer.dragStartX, 100);
    EXPECT_EQ(viewer.dragStartY, 200);
    EXPECT_EQ(viewer.spinAngle, 2.0f);
    EXPECT_EQ(viewer.spinAxis.x, 0.3f);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(TrackballTest, AMoveWithoutAPressDoesNothing) {
    dragTo(600, 100);
    EXPECT_EQ(viewer.spinAngle, 2.0f);
    EXPECT_EQ(viewer.lastBallVector.z, 0.0f);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(TrackballTest, TheSamePositionTwiceGivesAZeroAngleAndAxis) {
    beginDrag(100, 200);
    dragTo(300, 300);
    dragTo(300, 300);
    EXPECT_EQ(viewer.spinAngle, 0.0f);
    EXPECT_EQ(viewer.spinAxis.x, 0.0f);
    EXPECT_EQ(viewer.spinAxis.y, 0.0f);
    EXPECT_EQ(viewer.spinAxis.z, 0.0f);
}

TEST_F(TrackballTest, EachMoveOfADragDrawsOneFrameWithItsOwnIncrement) {
    EXPECT_EQ(mouse(WM_LBUTTONDOWN, 432, 432), 0);
    EXPECT_EQ(mouse(WM_MOUSEMOVE, 500, 432), 1);
    EXPECT_EQ(mouse(WM_MOUSEMOVE, 648, 432), 1);
    const float expected =
        90.0f * distance(trackballPoint(500, 432, 864, 864), trackballPoint(648, 432, 864, 864));
    EXPECT_NEAR(fakeFrames.back().spinAngle, expected, 1e-4f);
}

TEST_F(TrackballTest, SeveralMovesBeforeTheQueueEmptiesApplyOnlyTheLast) {
    scriptedPostMouse(WM_LBUTTONDOWN, 432, 432);
    scriptedPostMouse(WM_MOUSEMOVE, 500, 432);
    scriptedPostMouse(WM_MOUSEMOVE, 560, 400);
    scriptedPostMouse(WM_MOUSEMOVE, 648, 432);
    EXPECT_EQ(runUntilIdle(), 1);
    const Vec3 u = trackballPoint(560, 400, 864, 864);
    const Vec3 v = trackballPoint(648, 432, 864, 864);
    EXPECT_NEAR(fakeFrames.back().spinAngle, 90.0f * distance(u, v), 1e-4f);
    expectNear(fakeFrames.back().spinAxis,
               {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}, 1e-6f);
}

TEST_F(TrackballTest, AReleaseAtThePressPositionStopsEvenAfterTravelling) {
    mouse(WM_LBUTTONDOWN, 100, 100);
    mouse(WM_MOUSEMOVE, 300, 200);
    mouse(WM_MOUSEMOVE, 100, 100);
    ASSERT_GT(viewer.spinAngle, 0.0f);
    EXPECT_EQ(mouse(WM_LBUTTONUP, 100, 100), 1) << "one frame, then still";
    EXPECT_EQ(viewer.spinEnabled, 0);
    EXPECT_EQ(viewer.keepAnimating, 0);
    EXPECT_EQ(viewer.dragging, 0);
    EXPECT_EQ(viewer.spinAngle, 0.0f);
    EXPECT_EQ(fakeFrames.back().spinEnabled, 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(TrackballTest, AReleaseElsewhereKeepsSpinningWithTheLastIncrementAfterAPause) {
    mouse(WM_LBUTTONDOWN, 432, 432);
    mouse(WM_MOUSEMOVE, 500, 432);
    mouse(WM_MOUSEMOVE, 648, 432);
    const float last = viewer.spinAngle;
    const Vec3 axis = viewer.spinAxis;
    EXPECT_EQ(runUntilIdle(), 0) << "a pause: the loop waits";

    scriptedPostMouse(WM_LBUTTONUP, 700, 450);  // released without a move there
    escapeAfterFrames(2 + 5);                   // counts from the first frame of the drag
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(viewer.keepAnimating, 1);
    EXPECT_EQ(viewer.dragging, 0);
    ASSERT_EQ(fakeFrames.size(), 2u + 5u);
    for (std::size_t i = 2; i < fakeFrames.size(); ++i) {
        EXPECT_EQ(fakeFrames[i].spinEnabled, 1);
        EXPECT_EQ(fakeFrames[i].spinAngle, last);
        EXPECT_EQ(fakeFrames[i].spinAxis.y, axis.y);
    }
}

TEST_F(TrackballTest, APressAndReleaseStopsASpinningModelAfterAtMostOneFrame) {
    requestRedraw();
    afterFakeFrame = [](int drawn) {
        if (drawn == 3) {
            scriptedPostMouse(WM_LBUTTONDOWN, 200, 200);
            scriptedPostMouse(WM_LBUTTONUP, 200, 200);
        }
    };
    EXPECT_EQ(runUntilIdle(), 4);
    EXPECT_EQ(fakeFrames.back().spinEnabled, 0) << "the last frame does not turn";
}

TEST_F(TrackballTest, OnlyANewPressLeavesTheStoppedState) {
    mouse(WM_LBUTTONDOWN, 200, 200);
    mouse(WM_LBUTTONUP, 200, 200);
    ASSERT_EQ(viewer.spinEnabled, 0);
    EXPECT_EQ(mouse(WM_LBUTTONUP, 300, 300), 0) << "a release alone does not restart it";

    mouse(WM_LBUTTONDOWN, 432, 432);
    EXPECT_EQ(viewer.spinEnabled, 1);
    mouse(WM_MOUSEMOVE, 500, 432);
    scriptedPostMouse(WM_LBUTTONUP, 500, 432);
    escapeAfterFrames(static_cast<int>(fakeFrames.size()) + 3);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fakeFrames.back().spinEnabled, 1);
    EXPECT_GT(fakeFrames.back().spinAngle, 0.0f);
}

TEST_F(TrackballTest, AReleaseWithoutAPressActsOnTheHeldState) {
    endDrag(5, 5);  // fresh state: spinning, press held at (0, 0)
    EXPECT_EQ(viewer.keepAnimating, 1);
    EXPECT_EQ(viewer.spinEnabled, 1);
    EXPECT_EQ(viewer.spinAngle, 2.0f);
    EXPECT_EQ(viewer.idleHook, &idleRender);

    beginDrag(10, 20);
    dragTo(30, 40);
    endDrag(30, 40);
    ASSERT_EQ(viewer.keepAnimating, 1);
    endDrag(10, 20);  // the press position is still held
    EXPECT_EQ(viewer.spinEnabled, 0);
    EXPECT_EQ(viewer.spinAngle, 0.0f);

    viewer.idleHook = nullptr;
    endDrag(77, 88);  // stopped: nothing happens
    EXPECT_EQ(viewer.spinEnabled, 0);
    EXPECT_EQ(viewer.keepAnimating, 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(TrackballTest, DraggingOutsideTheWindowKeepsTurningOnTheRim) {
    mouse(WM_LBUTTONDOWN, 432, 432);
    mouse(WM_MOUSEMOVE, -30, 432);
    mouse(WM_MOUSEMOVE, -30, -60);
    EXPECT_NEAR(viewer.lastBallVector.z, 0.0f, 1e-6f);
    EXPECT_GT(viewer.spinAngle, 0.0f);
    EXPECT_EQ(fakeFrames.size(), 2u);
}

}  // namespace
