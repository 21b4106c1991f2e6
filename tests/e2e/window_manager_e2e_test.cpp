// The real program under real window managers on a private Xvfb: openbox
// (frame, maximise, close box, minimise), i3 (a size it forces and keeps),
// and unmapped with no manager at all.

// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/viewer_session.h"
#include "tests/support/frame_watch.h"
#include "tests/support/process_cpu.h"
#include "tests/support/wait_for.h"
#include "tests/support/window_manager.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"

using namespace std::chrono_literals;

namespace {

constexpr int kSide = 819;        // 0.8 of the 1024-pixel-high screen
constexpr Rgb kMargin{0, 0, 0};   // what the layer shows around the picture
constexpr auto kIdleCpu = 100ms;  // allowed in kIdlePeriod while nothing is seen
constexpr auto kIdlePeriod = 3s;

// A directory of the test's own for a manager's configuration and output.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/morvane-wm-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string textOf(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<long> wmState(Display* display, Window window) {
    const Atom state = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::optional<long> value;
    if (XGetWindowProperty(display, window, state, 0, 2, False, state, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && format == 32 && count > 0) {
        value = reinterpret_cast<const long*>(data)[0];
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

std::pair<int, int> sizeOf(Display* display, Window window) {
    const auto geometry = windowGeometry(display, window);
    return geometry ? std::pair(geometry->width, geometry->height) : std::pair(0, 0);
}

// The size once it has stayed the same for half a second.
std::optional<std::pair<int, int>> steadySize(Display* display, Window window) {
    return waitForSteady([&] { return sizeOf(display, window); },
                         [](const auto& a, const auto& b) { return a == b; }, 500ms, kLongWait,
                         20ms);
}

// At least 90 % of each edge line is the renderer's background: the square
// is exactly where the picture is, not shifted onto the margin.
bool edgesAreBackground(const RgbImage& image, int left, int top) {
    const auto share = [&](int x0, int y0, int dx, int dy) {
        int plain = 0;
        for (int i = 0; i < kSide; ++i) {
            plain += nearColour(image.at(x0 + i * dx, y0 + i * dy), kPlainBackground, 2) ? 1 : 0;
        }
        return plain * 10 >= kSide * 9;
    };
    const int right = left + kSide - 1;
    const int bottom = top + kSide - 1;
    return share(left, top, 1, 0) && share(left, bottom, 1, 0) && share(left, top, 0, 1) &&
           share(right, top, 0, 1);
}

// The picture is the kSide square in the middle, the model on it, and all
// around it the plain margin.
::testing::AssertionResult wholeAndCentred(const RgbImage& image) {
    const int left = (image.width - kSide) / 2;
    const int top = (image.height - kSide) / 2;
    if (image.empty() || left < 0 || top < 0) {
        return ::testing::AssertionFailure()
               << "window " << image.width << "x" << image.height << " is smaller than the picture";
    }
    RgbImage picture{kSide, kSide, {}};
    int wrongMargin = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const bool inside = x >= left && x < left + kSide && y >= top && y < top + kSide;
            if (inside) {
                picture.pixels.push_back(image.at(x, y));
            } else if (!nearColour(image.at(x, y), kMargin, 2)) {
                ++wrongMargin;
            }
        }
    }
    if (wrongMargin > 0) {
        return ::testing::AssertionFailure() << wrongMargin << " margin pixels are not plain";
    }
    if (!edgesAreBackground(image, left, top)) {
        return ::testing::AssertionFailure() << "the square's edges are not the picture's";
    }
    const int model = countSet(modelMask(picture, kPlainBackground));
    if (model < 1000) {
        return ::testing::AssertionFailure() << "only " << model << " model pixels in the square";
    }
    return ::testing::AssertionSuccess();
}

class WindowManagerTest : public ::testing::Test {
protected:
    void openUnder(const std::vector<std::string>& manager, const std::string& name) {
        const std::string log = dir.file(name + ".log");
        ASSERT_TRUE(session.startWindowManager(manager, log))
            << name << " did not start: " << textOf(log);
        ASSERT_TRUE(session.openViewer()) << "the viewer did not open under " << name;
        id = std::to_string(session.main());
    }

    int tool(const std::vector<std::string>& command) {
        return runTool(session.displayName(), command);
    }

    void expectEscapeExitsWithZero() {
        session.typeKey(XK_Escape);
        const auto ended = session.program().waitForExit(kLongWait);
        ASSERT_TRUE(ended) << "still running after Esc";
        EXPECT_TRUE(ended->exited);
        EXPECT_EQ(ended->status, 0);
    }

    // No frame and next to no processor time while the window cannot be
    // seen; frames again once it is back.
    void expectIdleUntilShownAgain(const std::function<void()>& showAgain) {
        FrameWatch frames(session.displayName(), session.main());
        ASSERT_TRUE(frames.ok());
        ASSERT_TRUE(frames.waitForQuiet(500ms, kLongWait)) << "still drawing while not seen";
        const auto used = cpuOver(session.program().pid(), kIdlePeriod, kIdleCpu);
        std::printf("processor time while not seen: %lld ms in %lld s\n",
                    static_cast<long long>(used.count()), static_cast<long long>(kIdlePeriod / 1s));
        EXPECT_LT(used, kIdleCpu);
        frames.poll();
        const size_t hidden = frames.count();
        showAgain();
        EXPECT_TRUE(frames.waitForCount(hidden + 3, kLongWait)) << "the model does not turn again";
        EXPECT_TRUE(session.program().running());
    }

    TempDir dir;
    ViewerSession session;
    std::string id;  // the main window, in decimal, for the tools
};

using OpenboxEndToEnd = WindowManagerTest;

TEST_F(OpenboxEndToEnd, FramedMaximiseLeavesThePictureWholeAndTheCloseBoxExitsWithZero) {
    ASSERT_NO_FATAL_FAILURE(openUnder({"openbox", "--sm-disable"}, "openbox"));
    Display* d = session.display();
    const Window frame = topLevelAncestor(d, session.main());
    ASSERT_NE(frame, session.main()) << "not reparented";
    const auto outer = sizeOf(d, frame);
    EXPECT_GT(outer.first, kSide);
    EXPECT_GT(outer.second, kSide);
    EXPECT_EQ(sizeOf(d, session.main()), std::pair(kSide, kSide));

    ASSERT_EQ(tool({"wmctrl", "-i", "-r", id, "-b", "add,maximized_vert,maximized_horz"}), 0);
    ASSERT_TRUE(steadySize(d, session.main()));
    // Snapped back, or held maximised with the picture in the middle.
    std::optional<RgbImage> picture;
    EXPECT_TRUE(waitFor([&] { return wholeAndCentred(*(picture = session.shot())); }, kLongWait))
        << wholeAndCentred(*picture).message() << session.keep(*picture, "maximised");

    ASSERT_EQ(tool({"wmctrl", "-i", "-c", id}), 0);
    const auto ended = session.program().waitForExit(kLongWait);
    ASSERT_TRUE(ended) << "still running after the close box";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 0);
}

TEST_F(OpenboxEndToEnd, MinimisedItUsesNoProcessorAndTurnsAgainWhenRestored) {
    ASSERT_NO_FATAL_FAILURE(openUnder({"openbox", "--sm-disable"}, "openbox"));
    Display* d = session.display();
    ASSERT_EQ(tool({"xdotool", "windowminimize", id}), 0);
    ASSERT_TRUE(waitFor([&] { return wmState(d, session.main()) == IconicState; }, kLongWait));
    expectIdleUntilShownAgain([&] { ASSERT_EQ(tool({"wmctrl", "-i", "-a", id}), 0); });
    expectEscapeExitsWithZero();
}

using NoManagerEndToEnd = WindowManagerTest;

TEST_F(NoManagerEndToEnd, UnmappedItUsesNoProcessorAndTurnsAgainWhenMapped) {
    ASSERT_TRUE(session.openViewer());
    Display* d = session.display();
    XUnmapWindow(d, session.main());
    XSync(d, False);
    ASSERT_TRUE(waitFor(
        [&] {
            const auto geometry = windowGeometry(d, session.main());
            return geometry && !geometry->viewable;
        },
        kLongWait));
    expectIdleUntilShownAgain([&] {
        XMapWindow(d, session.main());
        XSync(d, False);
    });
}

// i3 floats a window whose least and largest sizes agree; both commands
// force another size on it and ignore the client's asking to shrink back.
class I3EndToEnd : public WindowManagerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(I3EndToEnd, AForcedSizeKeepsThePictureWholeAndCentredAndItStillTurnsAndEscExits) {
    const std::string config = dir.file("i3.config");
    std::ofstream(config) << "# i3 config file (v4)\nfont fixed\nfocus_follows_mouse no\n";
    ASSERT_NO_FATAL_FAILURE(openUnder({"i3", "-c", config, "--shmlog-size", "0"}, "i3"));
    Display* d = session.display();
    ASSERT_EQ(tool({"i3-msg", "[id=\"" + id + "\"] " + GetParam()}), 0);
    ASSERT_TRUE(waitFor([&] { return sizeOf(d, session.main()).first != kSide; }, kLongWait))
        << "i3 did not force a size";
    const auto forced = steadySize(d, session.main());
    ASSERT_TRUE(forced);
    EXPECT_GT(forced->first, kSide);
    EXPECT_GT(forced->second, kSide);
    if (std::string(GetParam()) == "fullscreen enable") {
        EXPECT_EQ(*forced, std::pair(1280, 1024));
    }

    std::optional<RgbImage> picture;
    ASSERT_TRUE(waitFor([&] { return wholeAndCentred(*(picture = session.shot())); }, kLongWait))
        << wholeAndCentred(*picture).message() << session.keep(*picture, "forced");
    session.keep(*picture, "forced");  // the margin case, for a person to look at

    // Stopped first, so that only the drag can turn it.
    const int centreX = (forced->first - kSide) / 2 + kSide / 2;
    const int centreY = (forced->second - kSide) / 2 + kSide / 2;
    const auto stopped = session.stopWithClick(centreX, centreY);
    ASSERT_TRUE(stopped) << "a click in the picture did not stop the model";
    // i3 holds the pointer while it handles a press (to focus on click), then
    // replays it; moves made meanwhile all arrive at the last position, which
    // is no movement at all. So each move waits for the frame it draws.
    FrameWatch frames(session.displayName(), session.main());
    ASSERT_TRUE(frames.ok());
    movePointerInto(d, session.main(), centreX, centreY);
    pressButton(d);
    for (int step = 1; step <= 8; ++step) {
        frames.poll();
        const size_t drawn = frames.count();
        movePointerInto(d, session.main(), centreX + 12 * step, centreY);
        ASSERT_TRUE(frames.waitForCount(drawn + 1, kLongWait))
            << "move " << step << " drew nothing";
    }
    releaseButton(d);
    const auto turned = session.waitForChangeFrom(*stopped);
    ASSERT_TRUE(turned) << "the drag did not turn the model";
    EXPECT_TRUE(wholeAndCentred(*turned)) << session.keep(*turned, "dragged");

    expectEscapeExitsWithZero();
}

INSTANTIATE_TEST_SUITE_P(FullScreenAndTiled, I3EndToEnd,
                         ::testing::Values("fullscreen enable", "floating disable"),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "FullScreen" : "Tiled");
                         });

}  // namespace
