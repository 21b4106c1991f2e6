// A private Xvfb per test process, an observer connection of the test's own
// (for XTest input and for reading what the layer did), and a window
// procedure that records what it receives.
#pragma once

// Before Xlib, whose macro None would break gtest's own None.
#include <gtest/gtest.h>

#include "platform/x11/x11_layer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/xvfb_server.h"

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// How the recording procedure answers, and what it saw.
struct ProcedureScript {
    std::vector<Received> received;
    bool validateOnPaint = true;
    bool snapBackOnSize = false;
    int snapWidth = 0;
    int snapHeight = 0;
    LRESULT createResult = 0;
    std::function<void(HWND)> onCreate;
};
extern ProcedureScript script;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int countReceived(UINT message);
short lParamX(LPARAM lParam);
short lParamY(LPARAM lParam);

using Deadline = std::chrono::milliseconds;
inline constexpr Deadline kPatience{5000};

class X11Test : public ::testing::Test {
protected:
    // Each fixture class may ask for its own screen.
    static void startServer(const std::string& screen, const std::vector<std::string>& args);
    static void SetUpTestSuite() { startServer("1280x1024x24", {}); }
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A window of class "OpenGL" with the recording procedure, at (x, y).
    HWND createWindow(int x = 50, int y = 50, int width = 300, int height = 200);
    HWND createShownWindow(int x = 50, int y = 50, int width = 300, int height = 200);
    Window xOf(HWND window) const;
    Window pictureOf(HWND window) const;  // the child that holds the drawable

    // Round trips on both connections: what the server did is now queued.
    void settle() const;
    // Dispatches messages until done() holds or the deadline passes.
    bool pumpUntil(const std::function<bool()>& done, Deadline deadline = kPatience);
    // Removes messages without dispatching (paint is dispatched, as it stays
    // queued until validated) until done(taken) holds or the deadline passes.
    bool takeUntil(std::vector<MSG>& taken,
                   const std::function<bool(const std::vector<MSG>&)>& done, bool translate = false,
                   Deadline deadline = kPatience);
    std::vector<MSG> takeAll(bool translate = false);

    void fakeMotion(int rootX, int rootY) const;
    void fakeButton(unsigned button, bool press) const;
    void fakeKey(KeySym keysym, bool press) const;
    void tapKey(KeySym keysym) const;

    static std::unique_ptr<XvfbServer> server;
    static Display* observer;
};

// Helpers that read X state through a given connection.
std::string textProperty(Display* display, Window window, Atom property, Atom type);
std::vector<unsigned long> cardinalProperty(Display* display, Window window, Atom property,
                                            Atom type);
bool isTopLevel(Display* display, Window window);
