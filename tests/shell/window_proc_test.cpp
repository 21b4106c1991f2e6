// The window procedure's table: keys, size, paint, palette and mouse
// messages, with and without a rendering context, and destruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/shell/shell_fixture.h"

namespace {

std::intptr_t handle(const void* pointer) {
    return reinterpret_cast<std::intptr_t>(pointer);
}

// Whether the default window procedure saw this message.
bool defaultProcessed(UINT message) {
    for (const FakeCall& call : fakeCallsNamed("DefWindowProcA")) {
        if (call.args.at(1) == message) {
            return true;
        }
    }
    return false;
}

// The names of the calls made while handling, without the loop's own.
std::vector<std::string> handlerCallNames() {
    std::vector<std::string> names;
    for (const std::string& name : fakeCallNames()) {
        if (name != "windowProc" && name != "PeekMessageA" && name != "GetMessageA" &&
            name != "TranslateMessage" && name != "DispatchMessageA" && name != "queueRanDry" &&
            name != "WindowFromDC" && name != "IsIconic") {
            names.push_back(name);
        }
    }
    return names;
}

class WindowProcTest : public ShellTest {
protected:
    // A window with its context and a model that stands still, so that every
    // frame drawn was asked for by the message under test.
    void SetUp() override {
        ShellTest::SetUp();
        openWindow();
        viewer.keepAnimating = 0;
    }
};

class NoContextTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        fake.contextCreationSucceeds = false;
        openWindow();
    }
};

TEST_F(WindowProcTest, FAndPToggleBetweenZeroAndOneWithOneFrameEach) {
    for (int press = 1; press <= 4; ++press) {
        fakePostKey('f');
        EXPECT_EQ(runUntilIdle(), 1);
        EXPECT_EQ(viewer.fogEnabled, press % 2);
        EXPECT_EQ(fakeFrames.back().fogEnabled, press % 2);
    }
    for (int press = 1; press <= 4; ++press) {
        fakePostKey('p');
        EXPECT_EQ(runUntilIdle(), 1);
        EXPECT_EQ(viewer.wireframe, press % 2);
        EXPECT_EQ(fakeFrames.back().wireframe, press % 2);
    }
    EXPECT_EQ(viewer.fogEnabled, 0);
    EXPECT_FALSE(defaultProcessed(WM_CHAR));
}

TEST_F(WindowProcTest, AToggleStoresZeroForAnyNonZeroFlag) {
    viewer.fogEnabled = 5;
    viewer.wireframe = -1;
    EXPECT_EQ(windowProc(kFakeWindow, WM_CHAR, 'f', 0), 0);
    EXPECT_EQ(windowProc(kFakeWindow, WM_CHAR, 'p', 0), 0);
    EXPECT_EQ(viewer.fogEnabled, 0);
    EXPECT_EQ(viewer.wireframe, 0);
}

TEST_F(WindowProcTest, UpperCaseAndOtherCharactersGoToDefaultProcessing) {
    for (char key : {'F', 'P', 'x', 'q', ' '}) {
        fakePostKey(key);
    }
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(viewer.fogEnabled, 0);
    EXPECT_EQ(viewer.wireframe, 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
    std::vector<std::intptr_t> defaulted;
    for (const FakeCall& call : fakeCallsNamed("DefWindowProcA")) {
        if (call.args.at(1) == WM_CHAR) {
            defaulted.push_back(call.args.at(2));
        }
    }
    EXPECT_EQ(defaulted, (std::vector<std::intptr_t>{'F', 'P', 'x', 'q', ' '}));
}

TEST_F(WindowProcTest, EscDestroysTheWindowReleasingContextAndDeviceContext) {
    fakePostKey(27);
    EXPECT_EQ(runMainLoop(), 0);
    const std::vector<std::string> expected = {
        "DefWindowProcA",  // the key press itself
        "DestroyWindow",  "wglMakeCurrent", "wglDeleteContext", "ReleaseDC", "PostQuitMessage"};
    EXPECT_EQ(handlerCallNames(), expected);
    EXPECT_EQ(fakeCallsNamed("wglMakeCurrent").at(0).args, (std::vector<std::intptr_t>{0, 0}));
    EXPECT_EQ(fakeCallsNamed("wglDeleteContext").at(0).args,
              (std::vector<std::intptr_t>{handle(kFakeRenderContext)}));
    EXPECT_EQ(fakeCallsNamed("ReleaseDC").at(0).args,
              (std::vector<std::intptr_t>{handle(kFakeWindow), handle(kFakeDeviceContext)}));
    EXPECT_EQ(fakeCallsNamed("PostQuitMessage").at(0).args, (std::vector<std::intptr_t>{0}));
    EXPECT_FALSE(fake.windowExists);
    EXPECT_EQ(viewer.renderContext, kFakeRenderContext) << "kept, never cleared";
}

TEST_F(WindowProcTest, DestructionRemovesTheIdleHookEvenWhileAnimating) {
    viewer.keepAnimating = 1;
    requestRedraw();
    EXPECT_EQ(windowProc(kFakeWindow, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(WindowProcTest, CreationSelectsTheFormatMakesTheContextCurrentAndSetsUpTheScene) {
    resetFakePlatform();
    resetFakeScene();
    viewer = ViewerState{};
    openWindow();
    EXPECT_EQ(viewer.deviceContext, kFakeDeviceContext);
    EXPECT_EQ(viewer.renderContext, kFakeRenderContext);
    EXPECT_EQ(fake.currentContext, kFakeRenderContext);
    EXPECT_EQ(viewer.palette, nullptr) << "true colour needs no palette";
    EXPECT_EQ(fakeSceneInits, 1);
    EXPECT_EQ(viewer.idleHook, nullptr) << "creation asks for no frame";
}

TEST_F(WindowProcTest, ASizeChangeIsSnappedBackAndTheExchangeEndsThere) {
    fakeResizeFromOutside(1000, 700);
    const std::vector<FakeCall> moves = fakeCallsNamed("SetWindowPos");
    ASSERT_EQ(moves.size(), 2u) << "one snap-back, and one request for the size it has";
    for (const FakeCall& move : moves) {
        EXPECT_EQ(move.args.at(0), handle(kFakeWindow));
        EXPECT_EQ(move.args.at(4), 864);
        EXPECT_EQ(move.args.at(5), 864);
        EXPECT_EQ(move.args.at(6), SWP_NOMOVE);
    }
    EXPECT_EQ(fake.windowWidth, 864);
    EXPECT_EQ(fake.windowHeight, 864);
    EXPECT_FALSE(defaultProcessed(WM_SIZE));
    EXPECT_EQ(fakeCount("sendTooDeep"), 0);
    EXPECT_EQ(windowProc(kFakeWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(864, 864)), 0);
    EXPECT_EQ(viewer.idleHook, nullptr) << "no frame for a size change";
}

TEST_F(WindowProcTest, PaintBracketsARequestAndValidatesTheWindow) {
    fakeInvalidate();
    EXPECT_EQ(runUntilIdle(), 1);
    const std::vector<std::string> expected = {"BeginPaint", "EndPaint", "renderFrame"};
    EXPECT_EQ(handlerCallNames(), expected);
    EXPECT_FALSE(fake.needsPaint);
    EXPECT_EQ(windowProc(kFakeWindow, WM_PAINT, 0, 0), 0);
}

TEST_F(WindowProcTest, TheLeftButtonCapturesAndDragsWithSignedCoordinates) {
    fakePostMouse(WM_LBUTTONDOWN, -30, -40);
    runUntilIdle();
    EXPECT_EQ(fake.capture, kFakeWindow);
    EXPECT_EQ(viewer.dragging, 1);
    EXPECT_EQ(viewer.dragStartX, -30);
    EXPECT_EQ(viewer.dragStartY, -40);
    EXPECT_FALSE(defaultProcessed(WM_LBUTTONDOWN));

    fakePostMouse(WM_MOUSEMOVE, 500, 300);
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_TRUE(defaultProcessed(WM_MOUSEMOVE)) << "moves also get default processing";

    fakePostMouse(WM_LBUTTONUP, -30, -40);  // back at the press: the model stops
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(fake.capture, nullptr);
    EXPECT_EQ(viewer.dragging, 0);
    EXPECT_FALSE(defaultProcessed(WM_LBUTTONUP));
}

TEST_F(WindowProcTest, AReleaseWithoutAPressStillReachesTheTrackball) {
    viewer.spinEnabled = 1;
    viewer.dragStartX = 0;
    viewer.dragStartY = 0;
    fakePostMouse(WM_LBUTTONUP, 0, 0);  // where the held press position says
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(fakeCount("ReleaseCapture"), 1);
    EXPECT_EQ(viewer.spinEnabled, 0) << "a release at the held press position stops the model";
    EXPECT_EQ(viewer.spinAngle, 0.0f);

    fakePostMouse(WM_LBUTTONUP, 20, 20);  // now stopped: nothing to do
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(fakeCount("ReleaseCapture"), 2);
    EXPECT_EQ(viewer.keepAnimating, 0);
}

TEST_F(WindowProcTest, WithoutAPaletteBothPaletteMessagesGoToDefaultProcessing) {
    ASSERT_EQ(viewer.palette, nullptr);
    fakeSend(WM_QUERYNEWPALETTE);
    fakeSend(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(std::uintptr_t{0x9999}));
    EXPECT_TRUE(defaultProcessed(WM_QUERYNEWPALETTE));
    EXPECT_TRUE(defaultProcessed(WM_PALETTECHANGED));
    EXPECT_EQ(fakeCount("RealizePalette"), 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

class PaletteTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        fake.pixelFormat = fakePaletteFormat();
        openWindow();
        viewer.keepAnimating = 0;
    }

    static std::vector<std::string> realisation() {
        std::vector<std::string> names;
        for (const std::string& name : fakeCallNames()) {
            if (name == "UnrealizeObject" || name == "SelectPalette" || name == "RealizePalette") {
                names.push_back(name);
            }
        }
        return names;
    }
};

TEST_F(PaletteTest, ThePaletteFormatGivesAPalette) {
    EXPECT_EQ(viewer.palette, kFakePalette);
    EXPECT_EQ(fake.paletteEntries.size(), 256u);
}

TEST_F(PaletteTest, ActivationRealisesThePaletteAsForegroundAndRedraws) {
    EXPECT_EQ(fakeSend(WM_QUERYNEWPALETTE), 1);
    const std::vector<std::string> expected = {"UnrealizeObject", "SelectPalette",
                                               "RealizePalette"};
    EXPECT_EQ(realisation(), expected);
    EXPECT_EQ(fakeCallsNamed("UnrealizeObject").at(0).args,
              (std::vector<std::intptr_t>{handle(kFakePalette)}));
    EXPECT_EQ(
        fakeCallsNamed("SelectPalette").at(0).args,
        (std::vector<std::intptr_t>{handle(kFakeDeviceContext), handle(kFakePalette), FALSE}));
    EXPECT_FALSE(defaultProcessed(WM_QUERYNEWPALETTE));
    EXPECT_EQ(runUntilIdle(), 1);
}

TEST_F(PaletteTest, AChangeByAnotherWindowRealisesAndRedrawsOnce) {
    const auto other = reinterpret_cast<WPARAM>(std::uintptr_t{0x9999});
    EXPECT_EQ(fakeSend(WM_PALETTECHANGED, other), 0);
    EXPECT_EQ(realisation().size(), 3u);
    EXPECT_FALSE(defaultProcessed(WM_PALETTECHANGED));
    EXPECT_EQ(runUntilIdle(), 1);
}

TEST_F(PaletteTest, AChangeByThisWindowItselfIsIgnored) {
    fakeSend(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(kFakeWindow));
    EXPECT_TRUE(realisation().empty());
    EXPECT_TRUE(defaultProcessed(WM_PALETTECHANGED));
    EXPECT_EQ(runUntilIdle(), 0);
}

TEST_F(ShellTest, AFailedPaletteLeavesTheWindowWorkingWithoutPaletteHandling) {
    fake.pixelFormat = fakePaletteFormat();
    fake.paletteCreationSucceeds = false;
    openWindow();
    EXPECT_EQ(viewer.palette, nullptr);
    EXPECT_EQ(viewer.renderContext, kFakeRenderContext);
    fakeSend(WM_QUERYNEWPALETTE);
    EXPECT_TRUE(defaultProcessed(WM_QUERYNEWPALETTE));
    EXPECT_EQ(fakeCount("RealizePalette"), 0);
}

TEST_F(NoContextTest, SizePaintAndMouseGoToDefaultProcessing) {
    ASSERT_EQ(viewer.renderContext, nullptr);
    viewer.dragging = 1;  // even mid-drag, a move without context is not a turn
    const ViewerState before = viewer;
    fakeResizeFromOutside(1000, 700);
    fakeInvalidate();
    fakePostMouse(WM_LBUTTONDOWN, 100, 100);
    fakePostMouse(WM_MOUSEMOVE, 300, 200);
    fakePostMouse(WM_LBUTTONUP, 300, 200);
    EXPECT_EQ(runUntilIdle(), 0);

    for (UINT message : {WM_SIZE, WM_PAINT, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
        EXPECT_TRUE(defaultProcessed(message)) << "message " << message;
    }
    EXPECT_EQ(fakeCount("SetWindowPos"), 0);
    EXPECT_EQ(fakeCount("BeginPaint"), 0);
    EXPECT_EQ(fakeCount("SetCapture"), 0);
    EXPECT_EQ(fakeCount("ReleaseCapture"), 0);
    EXPECT_EQ(viewer.dragging, before.dragging);
    EXPECT_EQ(viewer.dragStartX, before.dragStartX);
    EXPECT_EQ(viewer.spinAngle, before.spinAngle);
    EXPECT_EQ(viewer.spinEnabled, before.spinEnabled);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(NoContextTest, KeysStillWorkAndEscStillExits) {
    fakePostKey('f');
    fakePostKey('p');
    fakePostKey(27);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(viewer.wireframe, 1);
    EXPECT_EQ(fakeCount("wglDeleteContext"), 0) << "no context to delete";
    EXPECT_EQ(fakeCount("ReleaseDC"), 1);
    EXPECT_EQ(fakeCount("PostQuitMessage"), 1);
}

TEST_F(ShellTest, AFailedContextLeavesTheWholeProgramUsableByKeys) {
    fake.contextCreationSucceeds = false;
    fakePostKey('f');
    fakePostKey(27);
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(fakeCount("BeginPaint"), 0) << "the first paint went to default processing";
    EXPECT_TRUE(fakeFrames.empty());
}

}  // namespace
