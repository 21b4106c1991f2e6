// The viewer over the Wayland backend, on weston's x11 backend on a private
// Xvfb: XTest keys there reach the program through weston's seat, and the
// Xvfb's root window shows weston's output.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/image_file.h"
#include "tests/support/picture_waits.h"
#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"
#include "tests/support/rgb_image.h"
#include "tests/support/screenshot.h"
#include "tests/support/shader_cache.h"
#include "tests/support/wait_for.h"
#include "tests/support/weston_server.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr Rgb kErrorRed{210, 30, 30};
constexpr int kOutputWidth = 1200;
constexpr int kOutputHeight = 1000;
constexpr auto kLongWait = 20s;
// libdecor's cairo frame: a 24-pixel title bar, 32-pixel buttons.
constexpr int kTitleBarHeight = 24;
constexpr int kCloseButtonInset = 16;
constexpr int kMinimiseInset = kCloseButtonInset + 2 * 32;  // third from the right
constexpr auto kIdleCpu = 100ms;  // allowed in kIdlePeriod while nothing is seen
constexpr auto kIdlePeriod = 3s;

class WaylandViewer : public ::testing::Test {
protected:
    WaylandViewer() = default;
    explicit WaylandViewer(const std::vector<std::string>& westonArgs)
        : weston_{xvfb_.display(), kOutputWidth, kOutputHeight, westonArgs} {}

    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(weston_.running());
        ASSERT_NE(x_.get(), nullptr);
    }

    std::unique_ptr<ProgramProcess> start(std::vector<std::string> extra = {}) {
        std::vector<std::string> env = weston_.clientEnvironment();
        env.insert(env.end(), extra.begin(), extra.end());
        return std::make_unique<ProgramProcess>(MORVANE_WAYLAND_PROGRAM, std::nullopt, env);
    }

    // True once weston's output shows at least this many pixels of a colour.
    bool shows(Rgb colour, int pixels) {
        return waitFor(
            [&] {
                const auto root = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
                return root && countNear(*root, colour) >= pixels;
            },
            20s, 100ms);
    }

    // True once weston's output shows fewer than this many pixels of a colour.
    bool hides(Rgb colour, int pixels) {
        return waitFor(
            [&] {
                const auto root = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
                return root && countNear(*root, colour) < pixels;
            },
            20s, 100ms);
    }

    // Past the notice, spinning; finds where weston placed the viewer.
    std::unique_ptr<ProgramProcess> openViewer(std::vector<std::string> extra = {}) {
        auto program = start(std::move(extra));
        if (!shows(kBoxFace, 5000)) {
            return nullptr;
        }
        tapKey(x_.get(), XK_Return);
        const int side = kOutputHeight * 8 / 10;
        if (!shows(kViewerBackground, side * side / 3)) {
            return nullptr;
        }
        viewer_ = backgroundBounds();
        return program;
    }

    Area backgroundBounds() {
        const auto root = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
        const auto area = root ? filledCorners(*root, kViewerBackground) : std::nullopt;
        return area ? *area : Area{};
    }

    // The upper half of the viewer: weston draws its pointer into the
    // output, so the pointer stays in the lower quarter while pictures count.
    RgbImage shot() {
        auto image = captureArea(x_.get(), DefaultRootWindow(x_.get()), viewer_.x, viewer_.y,
                                 viewer_.width, viewer_.height / 2);
        return image ? *image : RgbImage{};
    }

    std::optional<RgbImage> waitForChangeFrom(const RgbImage& before) {
        return waitForPicture([&] { return shot(); },
                              [&](const RgbImage& now) { return now != before; }, kLongWait, 10ms);
    }

    std::optional<RgbImage> waitForStill(std::chrono::milliseconds quiet) {
        return waitForStillPicture([&] { return shot(); }, quiet, kLongWait);
    }

    bool staysTheSame(const RgbImage& image, std::chrono::milliseconds period) {
        return pictureStaysTheSame([&] { return shot(); }, image, period);
    }

    // weston moves its pointer by the X pointer's relative motion: a move
    // from the far corner to the near one pins it at (0, 0), and from then
    // on both pointers agree.
    void alignPointer() {
        movePointer(x_.get(), kOutputWidth - 1, kOutputHeight - 1);
        movePointer(x_.get(), 0, 0);
    }

    // A position in the viewer's content, moved to through weston.
    void pointAt(int x, int y) { movePointer(x_.get(), viewer_.x + x, viewer_.y + y); }

    std::optional<RgbImage> stopWithClick() {
        alignPointer();
        pointAt(viewer_.width / 3, viewer_.height * 7 / 8);
        pressButton(x_.get());
        releaseButton(x_.get());
        return waitForStill(500ms);
    }

    std::string keep(const RgbImage& image, const std::string& name) {
        const std::string path = "wayland-" + name + ".png";
        savePng(image, path);
        return " (kept " + path + ")";
    }

    XvfbServer xvfb_{"1280x1080x24"};
    WestonServer weston_{xvfb_.display(), kOutputWidth, kOutputHeight};
    Area viewer_;
    XConnection x_{xvfb_.display()};
};

// The notice comes first; the viewer, 0.8 of the output's height square,
// only after Return; f and p redraw; Esc ends it with status 0.
TEST_F(WaylandViewer, NoticeFirstThenTheViewerAndEscapeEndsItCleanly) {
    auto program = start();
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    const auto before = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
    ASSERT_TRUE(before);
    EXPECT_LT(countNear(*before, kViewerBackground), 1000);

    tapKey(x_.get(), XK_Return);
    const int side = kOutputHeight * 8 / 10;
    // Most of the square is background; the model covers the rest.
    ASSERT_TRUE(shows(kViewerBackground, side * side / 3)) << program->stderrText();
    EXPECT_TRUE(program->running());

    tapKey(x_.get(), XK_p);
    tapKey(x_.get(), XK_f);
    EXPECT_TRUE(program->running());
    tapKey(x_.get(), XK_Escape);
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 0) << program->stderrText();
}

// The model spins from the start; a click without movement stops it, a drag
// turns it, and a release while moving leaves it spinning.
TEST_F(WaylandViewer, ClickStopsDragTurnsAndAFlingKeepsSpinning) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    const int side = kOutputHeight * 8 / 10;
    EXPECT_NEAR(viewer_.width, side, 2);
    EXPECT_NEAR(viewer_.height, side, 2);
    const RgbImage first = shot();
    ASSERT_TRUE(waitForChangeFrom(first)) << "not spinning";

    const auto stopped = stopWithClick();
    ASSERT_TRUE(stopped) << "still turning after the click" << keep(shot(), "after-click");
    EXPECT_TRUE(staysTheSame(*stopped, 1s)) << "turned on after the click";

    const int startX = viewer_.width / 4;
    const int startY = viewer_.height * 13 / 16;
    pointAt(startX, startY);
    pressButton(x_.get());
    pointAt(startX + 30, startY + 10);
    const auto dragged = waitForChangeFrom(*stopped);
    ASSERT_TRUE(dragged) << "the drag did not turn the model";
    pointAt(startX + 60, startY + 20);
    const auto further = waitForChangeFrom(*dragged);
    ASSERT_TRUE(further) << "the second drag step did not turn it";
    pointAt(startX + 90, startY + 30);
    releaseButton(x_.get());

    // With the pointer at rest, only the spin can change the picture.
    const auto next = waitForChangeFrom(*further);
    ASSERT_TRUE(next) << "stopped at the release";
    const auto again = waitForChangeFrom(*next);
    ASSERT_TRUE(again) << "turned once and stopped";
    EXPECT_TRUE(waitForChangeFrom(*again)) << "not spinning on";
    EXPECT_TRUE(program->running());
}

// libdecor's close button asks for the window to close, as WM_CLOSE: the
// program ends with status 0.
TEST_F(WaylandViewer, TheFrameCloseButtonEndsItWithStatusZero) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    // The title bar sits above the content; its close button is rightmost.
    alignPointer();
    pointAt(viewer_.width - kCloseButtonInset, -kTitleBarHeight / 2);
    pressButton(x_.get());
    releaseButton(x_.get());
    const auto exit = program->waitForExit(kLongWait);
    ASSERT_TRUE(exit) << keep(*captureWindow(x_.get(), DefaultRootWindow(x_.get())), "close");
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 0) << program->stderrText();
}

// Return as soon as the notice shows, while the warm-up still compiles
// (the cache is empty): the notice goes, and the viewer opens with the
// model drawn over the window, not in the corner that a context keeping
// the viewport of the small surface it warmed up on would use, and turns.
TEST_F(WaylandViewer, ReturnAtOnceDuringTheWarmUpOpensTheViewerWhole) {
    EmptyShaderCache cache;
    auto program = openViewer({cache.variable()});
    ASSERT_TRUE(program) << keep(*captureWindow(x_.get(), DefaultRootWindow(x_.get())), "cold");
    EXPECT_TRUE(hides(kBoxFace, 5000)) << "the notice is still up";
    const auto whole = captureArea(x_.get(), DefaultRootWindow(x_.get()), viewer_.x, viewer_.y,
                                   viewer_.width, viewer_.height);
    ASSERT_TRUE(whole);
    const int model = whole->width * whole->height - countNear(*whole, kViewerBackground);
    EXPECT_GT(model, whole->width * whole->height / 20) << keep(*whole, "cold-first");
    EXPECT_TRUE(waitForChangeFrom(shot())) << "the model does not turn";
    tapKey(x_.get(), XK_Escape);
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->status, 0);
    EXPECT_EQ(program->stderrText(), "");
}

// Without a GL driver EGL offers nothing: the error box, then status 1. The
// warm-up finds that first, behind the notice, but says nothing of its own.
TEST_F(WaylandViewer, NoUsableGlShowsTheErrorBoxAndEndsWithStatusOne) {
    auto program = start({"LIBGL_DRIVERS_PATH=/nonexistent-morvane-dri"});
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    // The driver's loader may warn now, naming where it looked; the
    // program says nothing and shows no error until OK.
    EXPECT_TRUE(waitFor(
        [&] { return program->stderrText().find("nonexistent-morvane-dri") != std::string::npos; },
        kLongWait))
        << "the warm-up did not look for the driver: " << program->stderrText();
    EXPECT_EQ(program->stderrText().find("morvane:"), std::string::npos) << program->stderrText();
    const auto notice = captureWindow(x_.get(), DefaultRootWindow(x_.get()));
    ASSERT_TRUE(notice);
    EXPECT_LT(countNear(*notice, kErrorRed), 200);
    tapKey(x_.get(), XK_Return);
    ASSERT_TRUE(shows(kErrorRed, 200)) << program->stderrText();
    tapKey(x_.get(), XK_Return);
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 1);
}

// A compositor that goes away: one line on stderr and status 1, no hang.
// With the cache empty it goes while the warm-up still compiles.
TEST_F(WaylandViewer, ALostCompositorIsOneLineAndStatusOne) {
    EmptyShaderCache cache;
    auto program = start({cache.variable()});
    ASSERT_TRUE(shows(kBoxFace, 5000)) << program->stderrText();
    weston_.stop();
    const auto exit = program->waitForExit(20s);
    ASSERT_TRUE(exit);
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 1);
    EXPECT_EQ(program->stderrText(), "morvane: lost the connection to the Wayland compositor\n");
}

// weston's keyboard section in an ini file of the test's own.
struct KeyboardConfig {
    KeyboardConfig(int rate, int delayMs)
        : path("/tmp/morvane-repeat-" + std::to_string(getpid()) + ".ini") {
        std::ofstream(path) << "[keyboard]\nrepeat-rate=" << rate << "\nrepeat-delay=" << delayMs
                            << "\n";
    }
    ~KeyboardConfig() { std::remove(path.c_str()); }
    std::string path;
};

// Bases start in order: the file exists before weston reads it.
template <int Rate, int DelayMs>
class KeyRepeatViewer : private KeyboardConfig, public WaylandViewer {
protected:
    KeyRepeatViewer() : KeyboardConfig(Rate, DelayMs), WaylandViewer({"--config=" + path}) {}

    // The viewer stopped by a click, then f held down: the pictures before
    // and with fog. The X server's own repeat is off, so every repeat seen
    // comes from the program.
    void holdFOnStoppedViewer(std::optional<RgbImage>& plain, std::optional<RgbImage>& fogged) {
        plain = stopWithClick();
        ASSERT_TRUE(plain) << "still turning after the click";
        XAutoRepeatOff(x_.get());
        pressKey(x_.get(), XK_f);
        fogged = waitForChangeFrom(*plain);
        ASSERT_TRUE(fogged) << "f did not turn fog on";
    }

    bool showsAgain(const RgbImage& image) {
        return waitFor([&] { return shot() == image; }, kLongWait, 10ms);
    }
};

// Four repeats a second after half a second: slow enough to see each.
using SlowKeyRepeat = KeyRepeatViewer<4, 500>;
using NoKeyRepeat = KeyRepeatViewer<0, 200>;

// A held f repeats at the compositor's rate, toggling fog off and on again,
// and the repeats stop with the release.
TEST_F(SlowKeyRepeat, HoldingFTogglesFogRepeatedlyUntilReleased) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    std::optional<RgbImage> plain;
    std::optional<RgbImage> fogged;
    ASSERT_NO_FATAL_FAILURE(holdFOnStoppedViewer(plain, fogged));
    EXPECT_TRUE(showsAgain(*plain)) << "no repeat turned fog off" << keep(shot(), "repeat-1");
    EXPECT_TRUE(showsAgain(*fogged)) << "repeated only once" << keep(shot(), "repeat-2");
    releaseKey(x_.get(), XK_f);
    // A repeat every 250 ms would never leave the picture still this long.
    EXPECT_TRUE(waitForStill(1s)) << "still repeating after the release";
    EXPECT_TRUE(program->running());
}

// Rate 0 means no repeat: a long hold toggles fog once.
TEST_F(NoKeyRepeat, ARateOfZeroTogglesOnceHoweverLongTheHold) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    std::optional<RgbImage> plain;
    std::optional<RgbImage> fogged;
    ASSERT_NO_FATAL_FAILURE(holdFOnStoppedViewer(plain, fogged));
    EXPECT_TRUE(staysTheSame(*fogged, 1500ms)) << "repeated" << keep(shot(), "no-repeat");
    releaseKey(x_.get(), XK_f);
    EXPECT_TRUE(program->running());
}

// Out of sight the program must stop drawing: its processor time settles,
// then stays (nearly) flat.
void expectAsleep(ProgramProcess& program, const char* how) {
    ASSERT_TRUE(cpuSettles(program.pid(), 500ms, kLongWait)) << "still drawing while " << how;
    const auto used = cpuOver(program.pid(), kIdlePeriod, kIdleCpu);
    std::printf("processor time while %s: %lld ms in %lld s\n", how,
                static_cast<long long>(used.count()), static_cast<long long>(kIdlePeriod / 1s));
    EXPECT_LT(used, kIdleCpu);
}

// libdecor's minimise button moves the window to weston's hidden layer,
// where no frame callbacks come: the turning viewer must go to sleep, not
// draw on unseen. weston's switcher (Super+Tab) brings it back; it turns
// again and has the keyboard again.
TEST_F(WaylandViewer, MinimisedItUsesNoProcessorAndTurnsAgainWhenRestored) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    // weston may place the title bar partly under its panel: moved clear.
    const int top = kWestonPanelHeight + 2 * kTitleBarHeight;
    ASSERT_TRUE(dragViewerToRow(x_.get(), viewer_, top, kOutputWidth, kOutputHeight));
    ASSERT_TRUE(waitFor([&] { return (viewer_ = backgroundBounds()).y == top; }, kLongWait))
        << "not moved" << keep(*captureWindow(x_.get(), DefaultRootWindow(x_.get())), "moved");
    ASSERT_TRUE(waitForChangeFrom(shot())) << "not spinning";
    alignPointer();
    pointAt(viewer_.width - kMinimiseInset, -kTitleBarHeight / 2);
    pressButton(x_.get());
    releaseButton(x_.get());
    const int side = kOutputHeight * 8 / 10;
    ASSERT_TRUE(hides(kViewerBackground, side * side / 10))
        << "still on the output"
        << keep(*captureWindow(x_.get(), DefaultRootWindow(x_.get())), "minimise");
    ASSERT_NO_FATAL_FAILURE(expectAsleep(*program, "minimised"));

    tapKeyWith(x_.get(), XK_Super_L, XK_Tab);
    ASSERT_TRUE(shows(kViewerBackground, side * side / 3)) << "the switcher did not restore it";
    const auto turned = waitForChangeFrom(shot());
    ASSERT_TRUE(turned) << "does not turn again" << keep(shot(), "restored");
    EXPECT_TRUE(waitForChangeFrom(*turned)) << "turned once and stopped";
    tapKey(x_.get(), XK_Escape);
    const auto exit = program->waitForExit(kLongWait);
    ASSERT_TRUE(exit) << "Esc unheard after the restore";
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->status, 0) << program->stderrText();
}

// weston left without input for its idle time fades its output to black
// and stops drawing it, the viewer included; input wakes it, and with
// locking off the desktop comes straight back.
class IdleWaylandViewer : public WaylandViewer {
protected:
    IdleWaylandViewer() : WaylandViewer({"--idle-time=5", "--config=" + writeConfig()}) {}
    ~IdleWaylandViewer() override { std::filesystem::remove(configPath()); }

    std::optional<RgbImage> waitForUnfadedChangeFrom(const RgbImage& before) {
        return waitForPicture([&] { return shot(); },
                              [&](const RgbImage& now) { return now != before && unfaded(now); },
                              kLongWait, 10ms);
    }

    // The fade is over once weston's panel stays the same.
    bool fadedIn() {
        return waitForSteady(
                   [&] {
                       return captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0, kOutputWidth,
                                          kWestonPanelHeight);
                   },
                   [](const auto& last, const auto& now) { return last && last == now; }, 300ms,
                   kLongWait, 20ms)
            .has_value();
    }

    // The viewer's corners exactly its clear colour: no fade over it.
    static bool unfaded(const RgbImage& image) {
        return image.at(0, 0) == kViewerBackground &&
               image.at(image.width - 1, 0) == kViewerBackground;
    }

    static std::string configPath() {
        return "/tmp/morvane-e2e-weston-" + std::to_string(getpid()) + ".ini";
    }
    static std::string writeConfig() {
        std::ofstream(configPath()) << "[shell]\nlocking=false\n";
        return configPath();
    }
};

TEST_F(IdleWaylandViewer, ABlankedOutputPutsItToSleepAndWakingTurnsItAgain) {
    auto program = openViewer();
    ASSERT_TRUE(program);
    ASSERT_TRUE(waitForChangeFrom(shot())) << "not spinning";
    const int side = kOutputHeight * 8 / 10;
    ASSERT_TRUE(hides(kViewerBackground, side * side / 10)) << "weston did not blank its output";
    ASSERT_NO_FATAL_FAILURE(expectAsleep(*program, "the output is blank"));

    // A key, not the pointer: no window has the keyboard while weston is
    // blank, so only the frame callbacks can wake the program.
    tapKey(x_.get(), XK_Shift_L);
    ASSERT_TRUE(shows(kViewerBackground, side * side / 3)) << "weston did not wake";
    // weston's fades, in now and out again after the idle time, change
    // every picture: counted from the end of the one, up to the other.
    ASSERT_TRUE(fadedIn()) << "still fading in";
    const auto turned = waitForUnfadedChangeFrom(shot());
    ASSERT_TRUE(turned) << "does not turn again" << keep(shot(), "woken");
    EXPECT_TRUE(waitForUnfadedChangeFrom(*turned)) << "turned once and stopped";
}

}  // namespace
