// The viewer on weston set-ups the desktop tests leave out: kiosk-shell,
// which makes every toplevel full screen whatever its size limits, and an
// output at scale 2. weston's x11 backend on a private Xvfb gives a seat
// for the notice's Return; the Xvfb's root window shows weston's output.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/image_file.h"
#include "tests/support/program_process.h"
#include "tests/support/rgb_image.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/weston_server.h"
#include "tests/support/x_connection.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

constexpr Rgb kBlack{0, 0, 0};
// The output in device pixels, whatever the scale.
constexpr int kDeviceWidth = 1200;
constexpr int kDeviceHeight = 1000;
// 0.8 of the device height, as the X11 build makes it on a screen this high.
constexpr int kSide = kDeviceHeight * 8 / 10;
// weston draws its pointer into the output; the tests park it here.
constexpr int kPointerCorner = 64;

// Pixels of the output outside the area that are not black, leaving out
// the corner where the pointer is parked.
int colouredMargin(const RgbImage& output, const Area& area) {
    int count = 0;
    for (int y = 0; y < kDeviceHeight; ++y) {
        for (int x = 0; x < kDeviceWidth; ++x) {
            const bool inside =
                x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
            const bool pointer = x < kPointerCorner && y < kPointerCorner;
            count += (!inside && !pointer && !nearColour(output.at(x, y), kBlack, 2)) ? 1 : 0;
        }
    }
    return count;
}

// A weston.ini for the test's compositor, removed with it.
class WestonConfig {
public:
    explicit WestonConfig(const std::string& text) {
        char pattern[] = "/tmp/morvane-weston-ini-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            dir_ = pattern;
            std::ofstream(path()) << text;
        }
    }
    ~WestonConfig() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path() const { return dir_ + "/weston.ini"; }

private:
    std::string dir_;
};

// A blue desktop, so that black margins stand out, and no animations.
constexpr const char* kShellLook =
    "[shell]\nbackground-color=0xff2050c0\nanimation=none\nstartup-animation=none\n";

// kiosk-shell on two outputs, their modes from the config.
std::vector<std::string> kioskOnTwoOutputs(const WestonConfig& config) {
    return {"--shell=kiosk-shell.so", "--output-count=2", "--config=" + config.path()};
}

std::vector<std::string> westonArguments(const std::string& shell, int scale,
                                         const std::string& config) {
    return {"--shell=" + shell, "--scale=" + std::to_string(scale), "--config=" + config};
}

struct Setup {
    const char* shell;
    int scale;
};

void PrintTo(const Setup& setup, std::ostream* out) {
    *out << setup.shell << " at scale " << setup.scale;
}

// The shells paint their background blue here, so a margin left to the
// compositor shows, and open windows without animations.
class WestonViewer : public ::testing::TestWithParam<Setup> {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb_.display().empty());
        ASSERT_TRUE(weston_.running());
        ASSERT_NE(x_.get(), nullptr);
    }

    std::optional<RgbImage> output() {
        return captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0, kDeviceWidth,
                           kDeviceHeight);
    }

    std::optional<Area> areaNow(Rgb colour, int square) {
        const auto picture = output();
        return picture ? filledCorners(*picture, colour, square) : std::nullopt;
    }

    // The area once it holds still: until the window has the focus, the
    // frame libdecor draws darkens the picture's outer device pixels.
    std::optional<Area> waitForArea(Rgb colour, int square) {
        const auto same = [](const std::optional<Area>& a, const std::optional<Area>& b) {
            return a && b && a->x == b->x && a->y == b->y && a->width == b->width &&
                   a->height == b->height;
        };
        const auto area =
            waitForSteady([&] { return areaNow(colour, square); }, same, 500ms, 20s, 50ms);
        return area ? *area : std::nullopt;
    }

    // From the far corner to the near one pins weston's pointer at (0, 0),
    // whatever its scale does to relative motion.
    void parkPointer() {
        movePointer(x_.get(), kDeviceWidth - 1, kDeviceHeight - 1);
        movePointer(x_.get(), 0, 0);
    }

    // Past the notice to the spinning viewer. The parked pointer is on
    // weston's window, so that window has the keyboard.
    std::optional<Area> openViewer() {
        parkPointer();
        if (!waitForArea(kBoxFace, 8)) {
            return std::nullopt;
        }
        tapKey(x_.get(), XK_Return);
        return waitForArea(kViewerBackground, 40);
    }

    std::string keep(const std::string& name) {
        const auto picture = output();
        const std::string path = "wayland-shell-" + name + ".png";
        return picture && savePng(*picture, path) ? " (kept " + path + ")" : "";
    }

    WestonConfig config_{kShellLook};
    XvfbServer xvfb_{"1280x1080x24"};
    // weston's --width and --height are logical: its X window is that times the scale.
    WestonServer weston_{xvfb_.display(), kDeviceWidth / GetParam().scale,
                         kDeviceHeight / GetParam().scale,
                         westonArguments(GetParam().shell, GetParam().scale, config_.path())};
    XConnection x_{xvfb_.display()};
    ProgramProcess program_{MORVANE_WAYLAND_PROGRAM, std::nullopt, weston_.clientEnvironment()};
};

using KioskViewer = WestonViewer;
using ScaledViewer = WestonViewer;

// kiosk-shell makes the fixed-size viewer full screen: the picture stays
// whole and centred, and the rest of the output is the window's own black.
TEST_P(KioskViewer, AForcedFullScreenKeepsThePictureWholeCentredOnBlack) {
    const auto viewer = openViewer();
    ASSERT_TRUE(viewer) << program_.stderrText() << keep("kiosk-no-viewer");
    EXPECT_NEAR(viewer->width, kSide, 1);
    EXPECT_NEAR(viewer->height, kSide, 1);
    EXPECT_NEAR(viewer->x, (kDeviceWidth - kSide) / 2, 1) << keep("kiosk-off-centre");
    EXPECT_NEAR(viewer->y, (kDeviceHeight - kSide) / 2, 1);
    // The margin is committed with the picture's first frame or before it.
    const bool black = waitFor(
        [&] {
            const auto picture = output();
            return picture && colouredMargin(*picture, *viewer) == 0;
        },
        10s, 100ms);
    const auto last = output();
    EXPECT_TRUE(black) << (last ? colouredMargin(*last, *viewer) : -1) << " margin pixels not black"
                       << keep("kiosk-margin");
    EXPECT_TRUE(program_.running());
}

INSTANTIATE_TEST_SUITE_P(Scales, KioskViewer,
                         ::testing::Values(Setup{"kiosk-shell.so", 1}, Setup{"kiosk-shell.so", 2}),
                         [](const auto& info) {
                             return "Scale" + std::to_string(info.param.scale);
                         });

// At scale 2 the notice and the viewer are drawn in device pixels: the
// viewer is 0.8 of the device height, and both have one-pixel steps that
// no upscaled picture has.
TEST_P(ScaledViewer, AtScaleTwoTheNoticeAndViewerAreDrawnInDevicePixels) {
    parkPointer();
    const auto box = waitForArea(kBoxFace, 16);
    ASSERT_TRUE(box) << program_.stderrText() << keep("scaled-no-notice");
    const auto notice = output();
    ASSERT_TRUE(notice);
    const int textSteps = hardStepsInsidePairs(cropped(*notice, *box), kBoxFace, 140);
    EXPECT_GE(textSteps, 100) << "the notice looks upscaled" << keep("scaled-notice");

    tapKey(x_.get(), XK_Return);
    const auto viewer = waitForArea(kViewerBackground, 40);
    ASSERT_TRUE(viewer) << program_.stderrText() << keep("scaled-no-viewer");
    EXPECT_NEAR(viewer->width, kSide, 1) << keep("scaled-size");
    EXPECT_NEAR(viewer->height, kSide, 1);
    // Pairs counted from the surface's origin, which is on a device pixel
    // of even position at scale 2.
    const bool crisp = waitFor(
        [&] {
            const auto picture = output();
            return picture &&
                   hardStepsInsidePairs(cropped(*picture, *viewer), kViewerBackground, 100) >= 200;
        },
        10s, 100ms);
    const auto last = output();
    EXPECT_TRUE(crisp) << (last ? hardStepsInsidePairs(cropped(*last, *viewer), kViewerBackground,
                                                       100)
                                : -1)
                       << " one-pixel steps" << keep("scaled-viewer");
}

INSTANTIATE_TEST_SUITE_P(DesktopShell, ScaledViewer,
                         ::testing::Values(Setup{"desktop-shell.so", 2}), [](const auto& info) {
                             return "Scale" + std::to_string(info.param.scale);
                         });

// weston's X window for one of its outputs, moved to x on the X screen.
bool moveOutput(Display* display, const std::string& name, int x) {
    const auto window = waitForValue(
        [&]() -> std::optional<Window> {
            for (Window candidate : topLevelWindows(display)) {
                if (windowTitle(display, candidate).ends_with(" - " + name)) {
                    return candidate;
                }
            }
            return std::nullopt;
        },
        20s, 50ms);
    if (window) {
        XMoveWindow(display, *window, x, 0);
        XSync(display, False);
    }
    return window.has_value();
}

int countNot(const RgbImage& image, const Area& area, Rgb colour) {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            count += nearColour(image.at(x, y), colour, 2) ? 0 : 1;
        }
    }
    return count;
}

// A portrait output first, 600 x 1000: the picture, 0.8 of its height, is
// wider than the full screen kiosk-shell gives it. A second output on its
// right shows what overhangs. weston shows each output in an X window of
// its own, all at the Xvfb's corner until the test lays them out as weston
// does.
class KioskOnAPortraitOutput : public ::testing::TestWithParam<int> {
protected:
    static constexpr int kPortraitWidth = 600;
    static constexpr int kRightWidth = 400;
    static constexpr Rgb kKioskBlue{0x20, 0x50, 0xc0};
    // Room for weston's pointer, drawn into whichever output it is on.
    static constexpr int kPointerPixels = 1000;

    void SetUp() override {
        ASSERT_TRUE(weston_.running());
        ASSERT_NE(x_.get(), nullptr);
        ASSERT_TRUE(moveOutput(x_.get(), "X2", kPortraitWidth));
    }

    std::optional<RgbImage> outputs() {
        return captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0,
                           kPortraitWidth + kRightWidth, kDeviceHeight);
    }

    std::string keep(const RgbImage& image) {
        const std::string path = "wayland-shell-portrait-" + std::to_string(GetParam()) + ".png";
        return savePng(image, path) ? " (kept " + path + ")" : "";
    }

    // Modes are logical: the same device pixels at either scale.
    static std::string outputsConfig(int scale) {
        const auto output = [&](const char* name, int width, const char* extra) {
            return std::string("[output]\nname=") + name +
                   "\nmode=" + std::to_string(width / scale) + "x" +
                   std::to_string(kDeviceHeight / scale) + "\nscale=" + std::to_string(scale) +
                   "\n" + extra;
        };
        return std::string(kShellLook) + output("X1", kPortraitWidth, "app-ids=morvane\n") +
               output("X2", kRightWidth, "");
    }

    WestonConfig config_{outputsConfig(GetParam())};
    XvfbServer xvfb_{"1280x1080x24"};
    WestonServer weston_{xvfb_.display(), 0, 0, kioskOnTwoOutputs(config_)};
    XConnection x_{xvfb_.display()};
};

// The middle of the picture fills the portrait output's width, centred
// between black margins above and below, and none of it overhangs onto the
// output beside it.
TEST_P(KioskOnAPortraitOutput, AFullScreenNarrowerThanThePictureShowsItsMiddleOnlyThere) {
    ProgramProcess program(MORVANE_WAYLAND_PROGRAM, std::nullopt, weston_.clientEnvironment());
    // The X pointer in weston's window for the portrait output gives it the keyboard.
    movePointer(x_.get(), kPortraitWidth / 2, kDeviceHeight - 10);
    const Area portrait{0, 0, kPortraitWidth, kDeviceHeight};
    ASSERT_TRUE(waitFor(
        [&] {
            const auto image = outputs();
            return image &&
                   portrait.width * portrait.height - countNot(*image, portrait, kBoxFace) > 5000;
        },
        20s, 100ms))
        << program.stderrText();
    tapKey(x_.get(), XK_Return);

    const int margin = (kDeviceHeight - kSide) / 2;
    const Area above{0, 0, kPortraitWidth, margin};
    const Area below{0, kDeviceHeight - margin, kPortraitWidth, margin};
    const Area beside{kPortraitWidth, 0, kRightWidth, kDeviceHeight};
    const auto shown = [&](const RgbImage& image) {
        const RgbImage middle = cropped(image, Area{0, margin, kPortraitWidth, kSide});
        const auto picture = filledCorners(middle, kViewerBackground);
        return picture && picture->x == 0 && picture->y == 0 && picture->width == kPortraitWidth &&
               picture->height == kSide && countNot(image, above, kBlack) < kPointerPixels &&
               countNot(image, below, kBlack) < kPointerPixels &&
               countNot(image, beside, kKioskBlue) < kPointerPixels;
    };
    std::optional<RgbImage> last;
    const bool placed = waitFor([&] { return (last = outputs()) && shown(*last); }, 20s, 100ms);
    ASSERT_TRUE(last);
    EXPECT_TRUE(placed) << countNot(*last, beside, kKioskBlue) << " pixels not blue beside, "
                        << countNot(*last, above, kBlack) + countNot(*last, below, kBlack)
                        << " not black above and below" << keep(*last) << program.stderrText();
    EXPECT_TRUE(program.running());
}

INSTANTIATE_TEST_SUITE_P(Scales, KioskOnAPortraitOutput, ::testing::Values(1, 2),
                         [](const auto& info) { return "Scale" + std::to_string(info.param); });

// kiosk-shell puts the notice on a second output, narrower at scale 2 than
// the notice laid out for the first: the full screen it imposes is smaller
// than the box, which must not be larger than that, or weston ends the
// connection.
class KioskBoxOnASmallerOutput : public ::testing::Test {
protected:
    WestonConfig config_{std::string(kShellLook) +
                         "[output]\nname=X1\nmode=600x500\nscale=2\n"
                         "[output]\nname=X2\nmode=150x500\nscale=2\napp-ids=morvane\n"};
    XvfbServer xvfb_{"1600x1080x24"};
    WestonServer weston_{xvfb_.display(), 0, 0, kioskOnTwoOutputs(config_)};
    XConnection x_{xvfb_.display()};
};

TEST_F(KioskBoxOnASmallerOutput, TheNoticeShowsThereAndReturnStillDismissesIt) {
    ASSERT_TRUE(weston_.running());
    ASSERT_TRUE(moveOutput(x_.get(), "X2", kDeviceWidth));
    ProgramProcess program(MORVANE_WAYLAND_PROGRAM, std::nullopt, weston_.clientEnvironment());
    movePointer(x_.get(), kDeviceWidth + 150, kDeviceHeight - 10);
    const Area second{kDeviceWidth, 0, 300, kDeviceHeight};
    const auto boxPixels = [&] {
        const auto image = captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0,
                                       kDeviceWidth + second.width, kDeviceHeight);
        return image ? second.width * second.height - countNot(*image, second, kBoxFace) : -1;
    };
    const auto keep = [&] {
        const auto image = captureArea(x_.get(), DefaultRootWindow(x_.get()), 0, 0,
                                       kDeviceWidth + second.width, kDeviceHeight);
        return image && savePng(*image, "wayland-shell-box.png") ? " (kept wayland-shell-box.png)"
                                                                 : "";
    };
    ASSERT_TRUE(waitFor([&] { return boxPixels() > 5000; }, 20s, 100ms))
        << program.stderrText() << keep();
    tapKey(x_.get(), XK_Return);
    EXPECT_TRUE(waitFor([&] { return boxPixels() == 0; }, 20s, 100ms))
        << program.stderrText() << keep();
    EXPECT_TRUE(program.running()) << program.stderrText();
}

// kiosk-shell moves the viewer from a large first output to a smaller
// second one that lists its app id. The X pointer stays on the first
// output, so nothing but the viewer itself repaints the second: its
// pictures must show there and keep coming.
class KioskViewerMovedToASecondOutput : public ::testing::Test {
protected:
    static constexpr int kFirstWidth = 1600;
    static constexpr Area kSecond{kFirstWidth, 0, 800, 600};

    void SetUp() override {
        ASSERT_TRUE(weston_.running());
        ASSERT_NE(x_.get(), nullptr);
        ASSERT_TRUE(moveOutput(x_.get(), "X2", kSecond.x));
    }

    std::optional<RgbImage> second() {
        return captureArea(x_.get(), DefaultRootWindow(x_.get()), kSecond.x, kSecond.y,
                           kSecond.width, kSecond.height);
    }

    std::string keep() {
        const auto image = second();
        return image && savePng(*image, "wayland-shell-moved.png")
                   ? " (kept wayland-shell-moved.png)"
                   : "";
    }

    WestonConfig config_{std::string(kShellLook) +
                         "[output]\nname=X1\nmode=1600x1000\n"
                         "[output]\nname=X2\nmode=800x600\napp-ids=morvane\n"};
    XvfbServer xvfb_{"2400x1080x24"};
    WestonServer weston_{xvfb_.display(), 0, 0, kioskOnTwoOutputs(config_)};
    XConnection x_{xvfb_.display()};
};

TEST_F(KioskViewerMovedToASecondOutput, ItsPictureShowsThereAndKeepsTurning) {
    ProgramProcess program(MORVANE_WAYLAND_PROGRAM, std::nullopt, weston_.clientEnvironment());
    movePointer(x_.get(), kFirstWidth / 4, 500);
    const Area whole{0, 0, kSecond.width, kSecond.height};
    ASSERT_TRUE(waitFor(
        [&] {
            const auto image = second();
            return image && whole.width * whole.height - countNot(*image, whole, kBoxFace) > 5000;
        },
        20s, 100ms))
        << program.stderrText() << keep();
    tapKey(x_.get(), XK_Return);

    // The picture, 800 x 800, is cropped to the output's 800 x 600: its
    // background fills all four corners.
    const auto shown = [&](const RgbImage& image) {
        const auto area = filledCorners(image, kViewerBackground);
        return area && area->x == 0 && area->y == 0 && area->width == whole.width &&
               area->height == whole.height;
    };
    std::optional<RgbImage> first;
    ASSERT_TRUE(waitFor([&] { return (first = second()) && shown(*first); }, 20s, 100ms))
        << "no picture on the second output" << keep() << program.stderrText();
    // Starved of frames, the viewer would stop drawing after its first pictures.
    const bool turning = waitFor(
        [&] {
            const auto now = second();
            return now && now->pixels != first->pixels;
        },
        10s, 100ms);
    EXPECT_TRUE(turning) << "the picture stopped" << keep();
    EXPECT_TRUE(program.running()) << program.stderrText();
}

}  // namespace
