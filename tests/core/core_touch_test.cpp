// The first finger as the left button: the messages a backend sends for
// each touch event, fingers that must be ignored, and a cancel.
#include <gtest/gtest.h>

#include "platform/core.h"

namespace {

void expectMessage(const TouchAsMouse& got, UINT message, WPARAM keys, POINT point) {
    EXPECT_EQ(got.message, message);
    EXPECT_EQ(got.keys, keys);
    EXPECT_EQ(got.point.x, point.x);
    EXPECT_EQ(got.point.y, point.y);
}

TEST(TouchAsMouse, OneFingerDragIsALeftButtonDragInClientCoordinates) {
    expectMessage(coreTouchAsMouse(TouchPhase::down, 4, {10, 20}), WM_LBUTTONDOWN, kLeftButtonDown,
                  {10, 20});
    expectMessage(coreTouchAsMouse(TouchPhase::motion, 4, {15, 22}), WM_MOUSEMOVE, kLeftButtonDown,
                  {15, 22});
    expectMessage(coreTouchAsMouse(TouchPhase::up, 4, {16, 23}), WM_LBUTTONUP, 0, {16, 23});
    // Lifted: its late motion is nothing, and the next finger starts anew.
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::motion, 4, {1, 1}).message, 0u);
    expectMessage(coreTouchAsMouse(TouchPhase::down, 9, {-3, 700}), WM_LBUTTONDOWN, kLeftButtonDown,
                  {-3, 700});
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::up, 9, {0, 0}).message, UINT{WM_LBUTTONUP});
}

TEST(TouchAsMouse, OtherFingersAreIgnoredWhileTheFirstIsDown) {
    ASSERT_EQ(coreTouchAsMouse(TouchPhase::down, 1, {5, 5}).message, UINT{WM_LBUTTONDOWN});
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::down, 2, {50, 50}).message, 0u);
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::motion, 2, {60, 60}).message, 0u);
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::up, 2, {60, 60}).message, 0u);
    expectMessage(coreTouchAsMouse(TouchPhase::motion, 1, {6, 7}), WM_MOUSEMOVE, kLeftButtonDown,
                  {6, 7});
    expectMessage(coreTouchAsMouse(TouchPhase::up, 1, {6, 7}), WM_LBUTTONUP, 0, {6, 7});
}

TEST(TouchAsMouse, ACancelLiftsTheButtonWhereTheFingerWasLast) {
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::cancel, 0, {}).message, 0u) << "no finger down";
    ASSERT_EQ(coreTouchAsMouse(TouchPhase::down, 3, {100, 100}).message, UINT{WM_LBUTTONDOWN});
    ASSERT_EQ(coreTouchAsMouse(TouchPhase::motion, 3, {140, 90}).message, UINT{WM_MOUSEMOVE});
    expectMessage(coreTouchAsMouse(TouchPhase::cancel, 0, {}), WM_LBUTTONUP, 0, {140, 90});
    EXPECT_EQ(coreTouchAsMouse(TouchPhase::up, 3, {1, 1}).message, 0u) << "already lifted";
}

}  // namespace
