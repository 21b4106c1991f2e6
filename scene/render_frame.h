// The pieces of renderFrame, for tests and the benchmark: a frame without
// its presentation, the mesh walk over any model, and the spin step alone.
#pragma once

#include "model/surface_model.h"

// Steps 1 to 8 of a frame and the flush, drawing model; no buffer swap, so
// the back buffer can still be read.
void drawFrame(const SurfaceModel& model);

// One GL_TRIANGLES batch with a normal and a vertex per corner.
void drawModel(const SurfaceModel& model);

// modelRotation := R(spinAngle, spinAxis) x modelRotation, formed by OpenGL,
// then kept a rotation. A null increment leaves it exactly as it was.
void applySpinIncrement();
