// Where the built-in model lands on screen under a given rotation, computed
// here from the model's tables and the program's fixed projection (x and y
// in [-1.5, 1.5] over the whole client area). The direction of a turn cannot
// be read from an outline alone (a mirror image in depth turning the other
// way draws the same outline), but once the orientation is known the two
// directions give clearly different outlines.
#pragma once

#include "tests/e2e/frame_analysis.h"

// Row-major 3x3: eye = rotation x model.
struct Rotation {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

// The matrix of glRotate: counter-clockwise about the normalised axis.
Rotation rotationAbout(double degrees, double x, double y, double z);
Rotation operator*(const Rotation& a, const Rotation& b);

// Pixels of a width x height client area covered by the model's triangles.
PixelMask modelSilhouette(const Rotation& rotation, int width, int height);
