// Where the picture goes on a window of a size the compositor chose.
#include <gtest/gtest.h>

#include "platform/wayland/wayland_placement.h"

namespace {

void expectPlacement(const PicturePlacement& placement, int x, int y, int cropX, int cropY,
                     int width, int height) {
    EXPECT_EQ(placement.x, x);
    EXPECT_EQ(placement.y, y);
    EXPECT_EQ(placement.cropX, cropX);
    EXPECT_EQ(placement.cropY, cropY);
    EXPECT_EQ(placement.width, width);
    EXPECT_EQ(placement.height, height);
}

// Larger than the picture: all of it, centred; the window it asked for: in
// the corner.
TEST(PicturePlacement, AWindowAsLargeOrLargerShowsAllOfItCentred) {
    expectPlacement(placePicture(1200, 1000, 800, 800, true), 200, 100, 0, 0, 800, 800);
    expectPlacement(placePicture(400, 400, 400, 400, true), 0, 0, 0, 0, 400, 400);
    expectPlacement(placePicture(801, 803, 800, 800, true), 0, 1, 0, 0, 800, 800);
}

// Smaller in a direction: the middle of the picture, cropped to the window,
// as much cut off on either side (the odd pixel on the far one).
TEST(PicturePlacement, AWindowSmallerInADirectionShowsTheMiddleThatFits) {
    expectPlacement(placePicture(600, 1000, 800, 800, true), 0, 100, 100, 0, 600, 800);
    expectPlacement(placePicture(1000, 500, 800, 800, true), 100, 0, 0, 150, 800, 500);
    expectPlacement(placePicture(601, 300, 800, 800, true), 0, 0, 99, 250, 601, 300);
}

// Without a way to crop, the picture keeps its corner on the window and is
// never moved off its left or top edge.
TEST(PicturePlacement, WithoutCroppingASmallerWindowKeepsThePictureCorner) {
    expectPlacement(placePicture(600, 1000, 800, 800, false), 0, 100, 0, 0, 800, 800);
    expectPlacement(placePicture(1200, 1000, 800, 800, false), 200, 100, 0, 0, 800, 800);
}

}  // namespace
