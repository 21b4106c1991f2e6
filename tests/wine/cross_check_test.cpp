// The Linux and the Windows program, put through the same steps frame by
// frame (frame_gate.cpp), must show the same picture: the same clear colours
// and the same colours at chosen points of the stopped model, with and
// without fog. The Windows client area is smaller than the outer window and
// the picture is stretched onto it, so points are compared by their place
// in the viewport, not by pixel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/wine/program_run.h"
#include "tests/wine/test_desktop.h"
#include "tests/wine/viewer_screen.h"

using namespace std::chrono_literals;

namespace {

const std::string kNoticeTitle = "Morvane 1.0";
const std::string kMainTitle = " Morvane";

// The test's ends of the two pipes to the frame gate in the program.
class FrameGate {
public:
    FrameGate() {
        valid_ = pipe(toProgram_) == 0 && pipe(fromProgram_) == 0;
        if (valid_) {
            // The program must not hold the test's ends, or it would never
            // see them close.
            fcntl(toProgram_[1], F_SETFD, FD_CLOEXEC);
            fcntl(fromProgram_[0], F_SETFD, FD_CLOEXEC);
        }
    }
    ~FrameGate() {
        for (int fd : {toProgram_[0], toProgram_[1], fromProgram_[0], fromProgram_[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    FrameGate(const FrameGate&) = delete;
    FrameGate& operator=(const FrameGate&) = delete;

    bool ok() const { return valid_; }
    std::string environmentValue() const {
        return std::to_string(toProgram_[0]) + "," + std::to_string(fromProgram_[1]);
    }
    // After the program has started: only it keeps its ends.
    void closeProgramEnds() {
        close(toProgram_[0]);
        close(fromProgram_[1]);
        toProgram_[0] = -1;
        fromProgram_[1] = -1;
    }
    // The depth-buffer bits of the frame the program has presented and waits
    // after, or 0 if none came by the deadline.
    int waitForFrame(std::chrono::milliseconds deadline) {
        pollfd p{fromProgram_[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(deadline.count())) != 1) {
            return 0;
        }
        char byte;
        return read(fromProgram_[0], &byte, 1) == 1 ? std::max(1, static_cast<int>(byte)) : 0;
    }
    void letNextFrameCome() {
        const char byte = 'g';
        EXPECT_EQ(write(toProgram_[1], &byte, 1), 1);
    }

private:
    bool valid_ = false;
    int toProgram_[2] = {-1, -1};
    int fromProgram_[2] = {-1, -1};
};

// What one program showed at each step.
struct Pictures {
    Image first;        // the first frame
    Image stopped;      // after a click, with the spin stopped
    Image fogged;       // after f
    Image unfogged;     // after f again
    int depthBits = 0;  // of the first frame
};

std::string frameGateLibrary() {
    return MORVANE_FRAME_GATE_LIBRARY;
}

// Runs one program through the steps; fills pictures or records failures.
void recordPictures(const std::vector<std::string>& argv, bool underWine, Pictures& pictures) {
    TestDesktop desktop;
    ASSERT_TRUE(desktop.ok());
    FrameGate gate;
    ASSERT_TRUE(gate.ok());
    auto env = underWine ? wineEnvironment(desktop.name())
                         : std::map<std::string, std::string>{{"DISPLAY", desktop.name()}};
    env["LD_PRELOAD"] = frameGateLibrary();
    env["MORVANE_FRAME_GATE"] = gate.environmentValue();
    struct WineStop {
        bool active;
        ~WineStop() {
            if (active) {
                stopWineServer();
            }
        }
    } wineStop{underWine};
    ProgramRun run(argv, env);
    gate.closeProgramEnds();
    ASSERT_TRUE(run.started());

    const auto notice = desktop.waitForViewable(kNoticeTitle, 60s);
    ASSERT_TRUE(notice) << "no notice";
    const auto box = desktop.outerRect(*notice);
    ASSERT_TRUE(box);
    desktop.keyAt(box->centreX(), box->centreY(), "Return");

    pictures.depthBits = gate.waitForFrame(30s);
    ASSERT_GT(pictures.depthBits, 0) << "no first frame";
    // Wine maps the window over another connection than the one that swaps.
    const auto window = desktop.waitForViewable(kMainTitle, 10s);
    ASSERT_TRUE(window);
    const auto client = desktop.largestChildRect(*window);
    ASSERT_TRUE(client);
    pictures.first = desktop.capture(*client);

    // Both button events wait in the program's queue when the frame is let
    // go, so they are handled before the next frame: the model stops at once.
    desktop.clickAt(client->centreX(), client->centreY());
    gate.letNextFrameCome();
    ASSERT_GT(gate.waitForFrame(10s), 0) << "no frame after the click";
    pictures.stopped = desktop.capture(*client);
    gate.letNextFrameCome();

    desktop.keyAt(client->centreX(), client->centreY(), "f");
    ASSERT_GT(gate.waitForFrame(10s), 0) << "no frame after f";
    pictures.fogged = desktop.capture(*client);
    gate.letNextFrameCome();

    desktop.keyAt(client->centreX(), client->centreY(), "f");
    ASSERT_GT(gate.waitForFrame(10s), 0) << "no frame after the second f";
    pictures.unfogged = desktop.capture(*client);
    gate.letNextFrameCome();

    desktop.keyAt(client->centreX(), client->centreY(), "Escape");
    const auto status = run.waitExit(20s);
    ASSERT_TRUE(status) << "Esc did not end the program";
    EXPECT_EQ(*status, 0);
}

// Pixel of an image for a viewport place u, v in [-1, 1] (v up).
const Rgb& atViewport(const Image& image, double u, double v) {
    const int x = std::min(image.width - 1, static_cast<int>((u + 1) / 2 * image.width));
    const int y = std::min(image.height - 1, static_cast<int>((1 - v) / 2 * image.height));
    return image.at(x, y);
}

// Inside one flat patch of the model: the 5 x 5 pixels around it agree, so
// both rasterisations land on the same triangle (the mesh is fine, and its
// two windings fight for the same depth, so such places are few).
bool insideFlatPatch(const Image& image, double u, double v) {
    const int cx = static_cast<int>((u + 1) / 2 * image.width);
    const int cy = static_cast<int>((1 - v) / 2 * image.height);
    if (cx < 2 || cy < 2 || cx + 2 >= image.width || cy + 2 >= image.height) {
        return false;
    }
    const Rgb& centre = image.at(cx, cy);
    if (near(centre, kBackground) || near(centre, kFogBackground)) {
        return false;
    }
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            if (!near(image.at(cx + dx, cy + dy), centre)) {
                return false;
            }
        }
    }
    return true;
}

std::string describe(const Rgb& c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

// Compares the model's colours at the places where both pictures are flat.
void expectSameModelColours(const Image& linux, const Image& windows, const char* what) {
    int compared = 0;
    int differing = 0;
    for (int i = -45; i <= 45; ++i) {
        for (int j = -45; j <= 45; ++j) {
            const double u = i / 50.0;
            const double v = j / 50.0;
            if (!insideFlatPatch(linux, u, v) || !insideFlatPatch(windows, u, v)) {
                continue;
            }
            ++compared;
            const Rgb& l = atViewport(linux, u, v);
            const Rgb& w = atViewport(windows, u, v);
            if (!near(l, w, 3)) {
                ++differing;
                ADD_FAILURE() << what << " at viewport (" << u << ", " << v << "): Linux "
                              << describe(l) << ", Windows " << describe(w);
            }
        }
    }
    std::printf("%s: %d points of the model compared, %d differ\n", what, compared, differing);
    if (differing > 0 || compared < 10) {
        const std::string stem = ::testing::TempDir() + "cross_check_" + what;
        writePpm(linux, stem + "_linux.ppm");
        writePpm(windows, stem + "_windows.ppm");
        std::printf("pictures: %s_linux.ppm, %s_windows.ppm\n", stem.c_str(), stem.c_str());
    }
    EXPECT_GE(compared, 10) << what << ": too few flat places to compare";
}

// The two runs are the first two tests; the comparisons after them use what
// they recorded, so each program's failure is reported on its own.
class CrossCheck : public ::testing::Test {
protected:
    static std::string windowsExe() {
        const std::string exe = pathFromEnvironment("MORVANE_WINDOWS_EXE");
        EXPECT_FALSE(exe.empty() || pathFromEnvironment("WINEPREFIX").empty())
            << "MORVANE_WINDOWS_EXE and WINEPREFIX must be set (run scripts/test-windows)";
        return exe;
    }
    void requireBothRuns() {
        ASSERT_GT(linux_.unfogged.width, 0) << "the Linux program did not get through the steps";
        ASSERT_GT(windows_.unfogged.width, 0)
            << "the Windows program did not get through the steps";
    }

    static Pictures linux_;
    static Pictures windows_;
};

Pictures CrossCheck::linux_;
Pictures CrossCheck::windows_;

TEST_F(CrossCheck, LinuxProgramGoesThroughTheSteps) {
    recordPictures({MORVANE_LINUX_EXE}, false, linux_);
    if (HasFailure()) {
        linux_ = Pictures{};
    }
}

TEST_F(CrossCheck, WindowsProgramGoesThroughTheSteps) {
    const std::string exe = windowsExe();
    ASSERT_FALSE(exe.empty());
    recordPictures({"wine", exe}, true, windows_);
    if (HasFailure()) {
        windows_ = Pictures{};
    }
}

TEST_F(CrossCheck, EachProgramStopsAtOnceAndFogTogglesBack) {
    ASSERT_NO_FATAL_FAILURE(requireBothRuns());
    for (const Pictures* p : {&linux_, &windows_}) {
        const char* name = p == &linux_ ? "Linux" : "Windows";
        EXPECT_GT(modelPixels(p->first), kVisibleModelPixels) << name << ": no model";
        EXPECT_EQ(differingPixels(p->first, p->stopped), 0)
            << name << ": the frame after the click turned the model";
        EXPECT_EQ(differingPixels(p->stopped, p->unfogged), 0)
            << name << ": fog on and off again changed the picture";
    }
}

// Every triangle is drawn twice at the same depth, once per winding (front
// and back material), so which copy shows depends on the depth buffer's
// precision: with different precisions the pictures cannot agree.
TEST_F(CrossCheck, BothDrawWithTheSameDepthPrecision) {
    ASSERT_NO_FATAL_FAILURE(requireBothRuns());
    EXPECT_EQ(linux_.depthBits, windows_.depthBits)
        << "depth-buffer bits differ: Linux " << linux_.depthBits << ", Windows "
        << windows_.depthBits << " (ChoosePixelFormat should give the closest to 16)";
}

TEST_F(CrossCheck, BackgroundColoursAgree) {
    ASSERT_NO_FATAL_FAILURE(requireBothRuns());
    const Rgb linuxClear = atViewport(linux_.stopped, -0.99, 0.99);
    const Rgb windowsClear = atViewport(windows_.stopped, -0.99, 0.99);
    EXPECT_TRUE(near(linuxClear, kBackground)) << describe(linuxClear);
    EXPECT_TRUE(near(windowsClear, kBackground)) << describe(windowsClear);
    const Rgb linuxFog = atViewport(linux_.fogged, 0.99, -0.99);
    const Rgb windowsFog = atViewport(windows_.fogged, 0.99, -0.99);
    EXPECT_TRUE(near(linuxFog, kFogBackground)) << describe(linuxFog);
    EXPECT_TRUE(near(windowsFog, kFogBackground)) << describe(windowsFog);
}

TEST_F(CrossCheck, ModelColoursAgreeWithTheSpinStopped) {
    ASSERT_NO_FATAL_FAILURE(requireBothRuns());
    expectSameModelColours(linux_.stopped, windows_.stopped, "without_fog");
}

TEST_F(CrossCheck, ModelColoursAgreeInFog) {
    ASSERT_NO_FATAL_FAILURE(requireBothRuns());
    expectSameModelColours(linux_.fogged, windows_.fogged, "with_fog");
}

}  // namespace
