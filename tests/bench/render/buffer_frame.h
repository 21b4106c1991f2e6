// The reference frame: the same state and mesh as renderFrame, but the mesh
// comes from a vertex buffer object made once, as fast as this OpenGL draws.
#pragma once

#include "model/surface_model.h"

struct MeshBuffer {
    unsigned int name = 0;
    int corners = 0;
};

// Copies the model's corners (normal, then position) into a buffer object
// on the current context.
MeshBuffer uploadMesh(const SurfaceModel& model);
void deleteMesh(MeshBuffer& buffer);

// A whole frame as renderFrame draws it (spin step, lights, materials, depth
// test, swap), with one glDrawArrays instead of the immediate-mode batch.
// present = false leaves the back buffer unswapped for reading.
void renderBufferFrame(const MeshBuffer& buffer, bool present);
