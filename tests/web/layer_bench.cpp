// The web GL layer's own CPU work per spinning frame of the built-in model,
// built natively over the recording driver, counting the vertices only:
// lighting, transforming and filling the vertex array, without WebGL or the
// browser (whose upload copies them once more). Prints figures; passes no
// judgement. Run by scripts/bench-web.
//
//   web_layer_bench [frames-per-round] [rounds]
#include <ctime>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/web/recording_driver.h"

namespace {

// CPU time of this process, so other work on the machine counts less.
double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double millisecondsPerFrame(int frames) {
    const double start = cpuMilliseconds();
    for (int i = 0; i < frames; ++i) {
        recordedDraws().clear();
        drawFrame(builtinModel);
    }
    return (cpuMilliseconds() - start) / frames;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    keepRecordedVertices(false);
    viewer = ViewerState{};
    viewer.windowWidth = viewer.windowHeight = 819;
    initScene();
    millisecondsPerFrame(5);  // caches and the heap warm
    std::printf("vertices handed over per filled frame: %zu\n", recordedDraws().back().vertexCount);
    std::vector<double> filled, wire;
    for (int round = 0; round < rounds; ++round) {
        viewer.wireframe = 0;
        filled.push_back(millisecondsPerFrame(frames));
        viewer.wireframe = 1;
        wire.push_back(millisecondsPerFrame(frames));
    }
    std::sort(filled.begin(), filled.end());
    std::sort(wire.begin(), wire.end());
    std::printf("layer CPU per spinning frame, filled: median %.2f ms (%.2f to %.2f)\n",
                filled[filled.size() / 2], filled.front(), filled.back());
    std::printf("layer CPU per spinning frame, wire frame: median %.2f ms (%.2f to %.2f)\n",
                wire[wire.size() / 2], wire.front(), wire.back());
    return 0;
}
