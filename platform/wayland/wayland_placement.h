// Where the picture goes on a window whose size the compositor chose:
// centred, and, where the window is smaller, cropped to its middle, as the
// X11 layer shows it. Plain arithmetic in logical pixels, for unit tests.
//
// Depends on: nothing.
// Cannot: crop without wp_viewporter; then the picture keeps its corner on
// the window and overhangs the right and bottom edges.
#pragma once

#include <algorithm>

struct PicturePlacement {
    int x = 0;  // the shown part on the window
    int y = 0;
    int cropX = 0;  // the shown part's corner in the picture
    int cropY = 0;
    int width = 0;  // the shown part's size
    int height = 0;
};

inline void placeAlong(int window, int picture, bool canCrop, int& position, int& crop,
                       int& shown) {
    shown = canCrop ? std::min(window, picture) : picture;
    position = std::max(0, (window - shown) / 2);
    crop = (picture - shown) / 2;
}

inline PicturePlacement placePicture(int windowWidth, int windowHeight, int pictureWidth,
                                     int pictureHeight, bool canCrop) {
    PicturePlacement placement;
    placeAlong(windowWidth, pictureWidth, canCrop, placement.x, placement.cropX, placement.width);
    placeAlong(windowHeight, pictureHeight, canCrop, placement.y, placement.cropY,
               placement.height);
    return placement;
}
