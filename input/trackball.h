// The virtual trackball: mouse drags become rotation increments.
#pragma once

#include "model/surface_model.h"

Vec3 trackballPoint(int x, int y, int width, int height);
void beginDrag(int x, int y);
void dragTo(int x, int y);
void endDrag(int x, int y);
