// Rendering benchmark on Mesa llvmpipe and a private Xvfb, at the viewer's
// window size with the built-in model. Prints figures; passes no judgement.
//
//   render_bench [seconds-per-round] [path-to-morvane]
//   render_bench frames N immediate|buffer
//
// Frame rates alternate immediate mode and the buffer-object reference in
// rounds (A B A B ...), since the load on these machines drifts. The second
// form draws exactly N spinning frames one way and exits, for counting
// instructions under callgrind, which the load does not disturb.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/scene.h"
#include "tests/bench/render/buffer_frame.h"
#include "tests/bench/render/startup_timing.h"
#include "tests/scene/gl_window.h"
#include "tests/support/rotation_checks.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void resetViewer() {
    viewer = ViewerState{};
    viewer.windowWidth = kWindowSide;
    viewer.windowHeight = kWindowSide;
    viewer.deviceContext = reinterpret_cast<HDC>(std::uintptr_t{0x2000});
    viewer.renderContext = reinterpret_cast<HGLRC>(std::uintptr_t{0x3000});
}

template <typename Frame>
double framesPerSecond(Frame frame, double seconds) {
    for (int i = 0; i < 5; ++i) {
        frame();  // shaders compiled, caches warm
    }
    glFinish();
    int frames = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        frame();
        ++frames;
    }
    glFinish();
    return frames / secondsSince(start);
}

// Both ways of drawing must give the same picture, or the comparison is void.
void comparePictures(const MeshBuffer& buffer) {
    viewer.spinEnabled = 0;
    drawFrame(builtinModel);
    const auto immediate = readBackBuffer();
    renderBufferFrame(buffer, false);
    const auto fromBuffer = readBackBuffer();
    int differing = 0, model = 0;
    for (std::size_t i = 0; i + 2 < immediate.size(); i += 3) {
        bool differs = false;
        for (int c = 0; c < 3; ++c) {
            differs |= std::abs(immediate[i + c] - fromBuffer[i + c]) > 2;
        }
        differing += differs ? 1 : 0;
        model += immediate[i] != 38 || immediate[i + 1] != 38 ? 1 : 0;
    }
    std::printf("same picture check: %d of %d model pixels differ by more than 2\n", differing,
                model);
    viewer.spinEnabled = 1;
}

void benchFrameRates(double seconds) {
    initScene();
    MeshBuffer buffer = uploadMesh(builtinModel);
    comparePictures(buffer);
    std::vector<double> immediate, buffered;
    for (int round = 0; round < 4; ++round) {
        immediate.push_back(framesPerSecond([] { renderFrame(); }, seconds));
        buffered.push_back(framesPerSecond([&] { renderBufferFrame(buffer, true); }, seconds));
        std::printf("round %d: immediate %.1f fps, buffer object %.1f fps\n", round + 1,
                    immediate.back(), buffered.back());
    }
    const double a = median(immediate), b = median(buffered);
    std::printf("frames per second while spinning (renderFrame, immediate mode): median %.1f\n", a);
    std::printf("frames per second, same mesh and state from a buffer object: median %.1f\n", b);
    std::printf("time per frame, immediate / buffer object: %.2f (%.2f ms vs %.2f ms)\n", b / a,
                1000 / a, 1000 / b);
    deleteMesh(buffer);
}

void benchSoak(long increments) {
    resetViewer();
    const auto start = Clock::now();
    for (long i = 0; i < increments; ++i) {
        applySpinIncrement();
    }
    const double spent = secondsSince(start);
    std::printf(
        "soak: %ld spin increments of 2 degrees through OpenGL with re-orthonormalising: "
        "%.2f s (%.0f ns each); orthonormality error afterwards %.2e\n",
        increments, spent, spent * 1e9 / increments, orthonormalityError(viewer.modelRotation));

    // The plain single-precision product the correction guards against.
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, r[16], product[16];
    rotationMatrix(2.0f, {0.3f, 0.2f, 0.4f}, r);
    for (long i = 0; i < increments; ++i) {
        multiplyMatrices(r, m, product);
        std::copy(product, product + 16, m);
    }
    std::printf("  without the correction (plain float product, same increments): error %.2e\n",
                orthonormalityError(m));
}

void benchStartup(const std::string& program) {
    std::vector<double> toNotice, toFrame;
    for (int run = 0; run < 5; ++run) {
        const StartupRun r = measureStartup(program);
        if (!r.ok) {
            std::printf("start-up run %d failed: %s\n", run + 1, r.failure.c_str());
            return;
        }
        std::printf(
            "start-up run %d: exec to notice %.0f ms, notice closed to first frame "
            "%.0f ms (harness %.1f ms between), peak RSS %ld kB, exit status %d\n",
            run + 1, r.execToNoticeMs, r.closeToFrameMs, r.harnessMs, r.peakResidentKb,
            r.exitStatus);
        toNotice.push_back(r.execToNoticeMs);
        toFrame.push_back(r.closeToFrameMs);
    }
    std::printf(
        "start-up, median of 5: exec to notice %.0f ms; notice closed to first frame "
        "%.0f ms; sum %.0f ms\n",
        median(toNotice), median(toFrame), median(toNotice) + median(toFrame));
}

int drawFrames(long count, const std::string& kind) {
    initScene();
    MeshBuffer buffer = uploadMesh(builtinModel);
    for (long i = 0; i < count; ++i) {
        if (kind == "buffer") {
            renderBufferFrame(buffer, true);
        } else {
            renderFrame();
        }
    }
    glFinish();
    deleteMesh(buffer);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "frames") {
        if (!openGlWindow() || !makeFreshContext()) {
            std::fprintf(stderr, "render_bench: %s\n", glWindowError().c_str());
            return 1;
        }
        resetViewer();
        const int status = drawFrames(std::atol(argv[2]), argv[3]);
        closeGlWindow();
        return status;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const std::string program = argc > 2 ? argv[2] : "";

    if (!openGlWindow() || !makeFreshContext()) {
        std::fprintf(stderr, "render_bench: %s\n", glWindowError().c_str());
        return 1;
    }
    std::printf("renderer: %s, window %dx%d, model %d triangles\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)), kWindowSide, kWindowSide,
                builtinModel.triangleCount);
    resetViewer();
    benchFrameRates(seconds);
    benchSoak(10000000);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS of this benchmark process (driver, model, both meshes): %ld kB\n",
                usage.ru_maxrss);
    closeGlWindow();

    if (!program.empty()) {
        benchStartup(program);
    }
    return 0;
}
