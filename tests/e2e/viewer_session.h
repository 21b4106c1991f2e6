// One run of the real program on its own private Xvfb (with a window manager
// if the test asks for one), with the steps every end-to-end test shares:
// find and dismiss the boxes, find the main window, take screenshots, wait
// for frames to appear or to stop.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/program_process.h"
#include "tests/support/rgb_image.h"
#include "tests/support/window_manager.h"
#include "tests/support/x_connection.h"
#include "tests/support/xvfb_server.h"

// Generous: CI machines are loaded, and Mesa may compile shaders cold.
inline constexpr std::chrono::milliseconds kLongWait{20000};

class ViewerSession {
public:
    explicit ViewerSession(const std::string& screen = "1280x1024x24",
                           const std::vector<std::string>& xvfbArgs = {});

    // Xvfb is up and this test is connected to it.
    bool connected() const { return x_->ok(); }
    Display* display() const { return x_->get(); }
    const std::string& displayName() const { return server_.display(); }

    // Starts a window manager on this display (before the program), its
    // output into logPath; true once it runs.
    bool startWindowManager(const std::vector<std::string>& command, const std::string& logPath);
    // Starts the program on this display, with these "NAME=value" added.
    bool launch(const std::vector<std::string>& extraEnvironment = {});
    ProgramProcess& program() { return *program_; }

    // A message box with this caption, once it is drawn.
    std::optional<Window> waitForBox(const std::string& title);
    // Return with the pointer over the box, as a person would close it.
    void dismissWithReturn(Window box);
    // A click on the box's OK button, found in its picture.
    bool clickOk(Window box);
    std::optional<Window> mainWindow() const;  // viewable window of class "OpenGL"
    std::optional<Window> waitForMainWindow();

    // Launch, close the notice, and wait until the first frame is on screen.
    bool openViewer();
    Window main() const { return main_; }

    // The main window's picture; empty if it cannot be read.
    RgbImage shot() const;
    // The first picture that differs from this one.
    std::optional<RgbImage> waitForChangeFrom(const RgbImage& before);
    // A picture that stayed the same for the quiet time.
    std::optional<RgbImage> waitForStill(std::chrono::milliseconds quiet);
    // The first picture whose background is this colour.
    std::optional<RgbImage> waitForBackground(Rgb colour);
    // True if every picture over the period equals this one.
    bool staysTheSame(const RgbImage& image, std::chrono::milliseconds period);

    // Pointer into the main window first: focus follows it.
    void typeKey(unsigned long keysym);
    // Press and release at one spot of the main window, without moving.
    void clickInMain(int x, int y);
    // Stops the model with such a click; the picture once the release's frame
    // is drawn and nothing follows it.
    std::optional<RgbImage> stopWithClick(int x, int y);

    // Esc with the pointer in this window: the program must end with status
    // 0 and nothing on stderr (checked with gtest).
    void expectQuietEndOnEscape(Window window);

    // Saves a picture under e2e-shots/ for a person to look at; returns the path.
    std::string keep(const RgbImage& image, const std::string& name) const;

private:
    XvfbServer server_;
    std::unique_ptr<XConnection> x_;
    std::unique_ptr<WindowManager> manager_;  // ends after the program
    std::unique_ptr<ProgramProcess> program_;
    Window main_ = None;
};
