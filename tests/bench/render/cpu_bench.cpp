// CPU time per frame in our own frame code, with OpenGL replaced by entry
// points that return at once (null_gl.cpp). Prints the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/viewer_state.h"
#include "scene/scene.h"

namespace {

double nanosecondsPerFrame(int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        renderFrame();
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

}  // namespace

int main() {
    viewer.windowWidth = 819;
    viewer.windowHeight = 819;
    viewer.renderContext = reinterpret_cast<HGLRC>(std::uintptr_t{1});
    initScene();

    const int frames = 2000;
    nanosecondsPerFrame(200);  // warm the caches
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        rounds.push_back(nanosecondsPerFrame(frames));
    }
    std::sort(rounds.begin(), rounds.end());
    const double median = rounds[rounds.size() / 2];
    const int corners = 3 * builtinModel.triangleCount;
    std::printf(
        "own code per frame, OpenGL stubbed: median %.1f us (min %.1f, max %.1f) "
        "over 7 rounds of %d frames\n",
        median / 1000, rounds.front() / 1000, rounds.back() / 1000, frames);
    std::printf("  = %.2f ns per corner (%d corners, each one glNormal3f + one glVertex3f)\n",
                median / corners, corners);
    return 0;
}
