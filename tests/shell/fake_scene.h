// A scene that records what each frame would draw instead of drawing, so
// that the shell's tests need no OpenGL.
#pragma once

#include <functional>
#include <vector>

#include "model/surface_model.h"

struct FakeFrame {
    int fogEnabled;
    int wireframe;
    int spinEnabled;
    float spinAngle;
    Vec3 spinAxis;
};

extern std::vector<FakeFrame> fakeFrames;
extern int fakeSceneInits;
// Called after each frame with the number of frames drawn so far; tests use
// it to script what happens while the model animates.
extern std::function<void(int frames)> afterFakeFrame;

// Frames allowed before renderFrame throws: a loop that draws without ever
// looking at its queue cannot be ended by the platform, only from here.
extern int fakeFrameLimit;

void resetFakeScene();
