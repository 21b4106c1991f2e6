#include "tests/shell/fake_scene.h"

#include <stdexcept>

#include "app/viewer_state.h"
#include "scene/scene.h"
#include "tests/support/scripted_backend.h"

std::vector<FakeFrame> fakeFrames;
int fakeSceneInits = 0;
std::function<void(int frames)> afterFakeFrame;
int fakeFrameLimit = 0;

void resetFakeScene() {
    fakeFrames.clear();
    fakeSceneInits = 0;
    afterFakeFrame = nullptr;
    fakeFrameLimit = 50000;
}

void initScene() {
    scriptedLog("initScene");
    ++fakeSceneInits;
}

void renderFrame() {
    if (static_cast<int>(fakeFrames.size()) >= fakeFrameLimit) {
        throw std::runtime_error("runaway: the loop draws without end");
    }
    scriptedLog("renderFrame");
    fakeFrames.push_back({viewer.fogEnabled, viewer.wireframe, viewer.spinEnabled, viewer.spinAngle,
                          viewer.spinAxis});
    if (afterFakeFrame) {
        afterFakeFrame(static_cast<int>(fakeFrames.size()));
    }
}
