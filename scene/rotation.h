// Pure matrix maths of the spin step, kept apart from OpenGL so that it can
// be tested and soaked without a context. Matrices are 4x4, column-major.
#pragma once

#include "model/surface_model.h"

// False when an increment of angle degrees about axis would turn nothing
// (angle 0, a zero-length axis) or could only produce invalid numbers (a
// non-finite angle or axis). Such an increment must leave the matrix alone.
bool spinTurns(float angle, const Vec3& axis);

// Makes the upper 3x3 of matrix orthonormal again by Gram-Schmidt in double
// precision: column 0 is normalised, column 1 made orthogonal to it, column 2
// to both. The fourth row and column are left as they are. Returns false,
// leaving matrix untouched, when the columns are degenerate or not finite.
bool reorthonormalise(float matrix[16]);
