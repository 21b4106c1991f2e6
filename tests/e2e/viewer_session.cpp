// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include "tests/e2e/viewer_session.h"

#include <X11/keysym.h>
#include <sys/stat.h>

#include <algorithm>

#include "app/shell.h"
#include "app/viewer_state.h"
#include "tests/e2e/frame_analysis.h"
#include "tests/support/frame_watch.h"
#include "tests/support/image_file.h"
#include "tests/support/picture_waits.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"

using namespace std::chrono_literals;

ViewerSession::ViewerSession(const std::string& screen, const std::vector<std::string>& xvfbArgs)
    : server_(screen, xvfbArgs),
      x_(std::make_unique<XConnection>(server_.display().empty() ? ":none" : server_.display())) {}

bool ViewerSession::startWindowManager(const std::vector<std::string>& command,
                                       const std::string& logPath) {
    if (!connected()) {
        return false;
    }
    manager_ = std::make_unique<WindowManager>(server_.display(), command, logPath);
    return manager_->waitUntilRunning(display(), kLongWait);
}

bool ViewerSession::launch(const std::vector<std::string>& extraEnvironment) {
    if (!connected()) {
        return false;
    }
    program_ = std::make_unique<ProgramProcess>(MORVANE_EXE, server_.display(), extraEnvironment);
    return program_->started();
}

std::optional<Window> ViewerSession::waitForBox(const std::string& title) {
    // Mapped is not yet drawn: wait until its button shows.
    return waitForValue(
        [&]() -> std::optional<Window> {
            const auto box = findViewableByTitle(display(), title);
            if (!box) {
                return std::nullopt;
            }
            const auto picture = captureWindow(display(), *box);
            if (!picture || lowerDarkPixels(*picture).empty()) {
                return std::nullopt;
            }
            return box;
        },
        kLongWait);
}

namespace {

// Without a window manager focus follows the pointer (PointerRoot); with
// one, keys typed before it has focused the window would be lost.
void waitForKeyboardFocus(Display* display, Window window) {
    waitFor(
        [&] {
            Window focus = None;
            int revert = 0;
            XGetInputFocus(display, &focus, &revert);
            return focus == window || focus == PointerRoot;
        },
        kLongWait);
}

}  // namespace

void ViewerSession::dismissWithReturn(Window box) {
    const auto geometry = windowGeometry(display(), box);
    const int x = geometry ? geometry->width / 2 : 0;
    const int y = geometry ? geometry->height / 2 : 0;
    movePointerInto(display(), box, x, y);
    waitForKeyboardFocus(display(), box);
    tapKey(display(), XK_Return);
}

bool ViewerSession::clickOk(Window box) {
    const auto picture = captureWindow(display(), box);
    if (!picture) {
        return false;
    }
    const PixelBox button = lowerDarkPixels(*picture);
    if (button.empty()) {
        return false;
    }
    clickAt(display(), box, (button.left + button.right) / 2, (button.top + button.bottom) / 2);
    return true;
}

std::optional<Window> ViewerSession::mainWindow() const {
    return findViewableByClass(display(), kWindowClassName);
}

std::optional<Window> ViewerSession::waitForMainWindow() {
    return waitForValue([&] { return mainWindow(); }, kLongWait);
}

bool ViewerSession::openViewer() {
    if (!launch()) {
        return false;
    }
    const auto notice = waitForBox(kNoticeCaption);
    if (!notice) {
        return false;
    }
    dismissWithReturn(*notice);
    const auto window = waitForMainWindow();
    if (!window) {
        return false;
    }
    main_ = *window;
    // The first frame: the background is the renderer's and the model is on it.
    return waitFor(
        [&] {
            const RgbImage image = shot();
            return hasBackground(image, kPlainBackground) &&
                   countSet(modelMask(image, kPlainBackground)) > 1000;
        },
        kLongWait);
}

void ViewerSession::expectQuietEndOnEscape(Window window) {
    movePointerInto(display(), window, 5, 5);
    tapKey(display(), XK_Escape);
    const auto ended = program().waitForExit(kLongWait);
    ASSERT_TRUE(ended) << "still running after Esc";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 0);
    EXPECT_EQ(program().stderrText(), "");
}

RgbImage ViewerSession::shot() const {
    return captureWindow(display(), main_).value_or(RgbImage{});
}

std::optional<RgbImage> ViewerSession::waitForChangeFrom(const RgbImage& before) {
    return waitForPicture([&] { return shot(); },
                          [&](const RgbImage& now) { return now != before; }, kLongWait, 5ms);
}

std::optional<RgbImage> ViewerSession::waitForStill(std::chrono::milliseconds quiet) {
    return waitForStillPicture([&] { return shot(); }, quiet, kLongWait);
}

std::optional<RgbImage> ViewerSession::waitForBackground(Rgb colour) {
    return waitForPicture([&] { return shot(); },
                          [&](const RgbImage& now) { return hasBackground(now, colour); },
                          kLongWait, 10ms);
}

bool ViewerSession::staysTheSame(const RgbImage& image, std::chrono::milliseconds period) {
    return pictureStaysTheSame([&] { return shot(); }, image, period);
}

void ViewerSession::typeKey(unsigned long keysym) {
    movePointerInto(display(), main_, 5, 5);
    waitForKeyboardFocus(display(), main_);
    tapKey(display(), keysym);
}

void ViewerSession::clickInMain(int x, int y) {
    clickAt(display(), main_, x, y);
}

std::optional<RgbImage> ViewerSession::stopWithClick(int x, int y) {
    FrameWatch frames(displayName(), main_);
    if (!frames.ok()) {
        return std::nullopt;
    }
    clickInMain(x, y);
    // Counting from after the click could miss the release's frame, drawn
    // while this thread was held up. A second with no frame at all is far
    // above a frame's time, so then the model has stopped.
    if (!frames.waitForQuiet(std::chrono::seconds(1), kLongWait)) {
        return std::nullopt;
    }
    return waitForStill(std::chrono::milliseconds(300));
}

std::string ViewerSession::keep(const RgbImage& image, const std::string& name) const {
    mkdir("e2e-shots", 0755);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string path = "e2e-shots/";
    if (test != nullptr) {
        std::string testName = std::string(test->test_suite_name()) + "." + test->name();
        std::replace(testName.begin(), testName.end(), '/', '.');  // parametrised names
        path += testName + "-";
    }
    path += name + ".png";
    savePng(image, path);
    return " (picture: " + path + ")";
}
