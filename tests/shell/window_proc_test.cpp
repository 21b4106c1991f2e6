// The window procedure's table: keys, size, paint, palette and mouse
// messages, with and without a rendering context, and destruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/shell/shell_fixture.h"

namespace {

// The backend entries called while handling, without the recorder's own
// log of deliveries or the loop's wait.
std::vector<std::string> handlerCallNames() {
    std::vector<std::string> names;
    for (const std::string& name : scriptedCallNames()) {
        if (name != "windowProc" && name != "waitForEvents" && name != "queueRanDry") {
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
        scripted.contextCreationSucceeds = false;
        openWindow();
    }
};

TEST_F(WindowProcTest, FAndPToggleBetweenZeroAndOneWithOneFrameEach) {
    for (int press = 1; press <= 4; ++press) {
        scriptedPostKey('f');
        EXPECT_EQ(runUntilIdle(), 1);
        EXPECT_EQ(viewer.fogEnabled, press % 2);
        EXPECT_EQ(fakeFrames.back().fogEnabled, press % 2);
    }
    for (int press = 1; press <= 4; ++press) {
        scriptedPostKey('p');
        EXPECT_EQ(runUntilIdle(), 1);
        EXPECT_EQ(viewer.wireframe, press % 2);
        EXPECT_EQ(fakeFrames.back().wireframe, press % 2);
    }
    EXPECT_EQ(viewer.fogEnabled, 0);
}

TEST_F(WindowProcTest, AToggleStoresZeroForAnyNonZeroFlag) {
    viewer.fogEnabled = 5;
    viewer.wireframe = -1;
    EXPECT_EQ(windowProc(programWindow(), WM_CHAR, 'f', 0), 0);
    EXPECT_EQ(windowProc(programWindow(), WM_CHAR, 'p', 0), 0);
    EXPECT_EQ(viewer.fogEnabled, 0);
    EXPECT_EQ(viewer.wireframe, 0);
}

TEST_F(WindowProcTest, UpperCaseAndOtherCharactersChangeNothing) {
    for (char key : {'F', 'P', 'x', 'q', ' '}) {
        scriptedPostKey(key);
    }
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(heard(WM_CHAR), 5) << "each key made its character";
    EXPECT_EQ(viewer.fogEnabled, 0);
    EXPECT_EQ(viewer.wireframe, 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
    EXPECT_NE(scriptedWindow(), nullptr);
}

TEST_F(WindowProcTest, EscDestroysTheWindowReleasingTheContextBeforeTheNativeWindow) {
    const HGLRC context = viewer.renderContext;
    scriptedPostKey(27);
    EXPECT_EQ(runMainLoop(), 0);
    const std::vector<std::string> expected = {"showWindow", "makeCurrent", "deleteContext",
                                               "destroyWindow"};
    EXPECT_EQ(handlerCallNames(), expected);
    EXPECT_EQ(scriptedCallsNamed("makeCurrent").at(0).args, (std::vector<std::intptr_t>{0, 0}));
    EXPECT_EQ(scriptedCallsNamed("deleteContext").at(0).args,
              (std::vector<std::intptr_t>{scriptedArg(context)}));
    EXPECT_EQ(scriptedCount("queueRanDry"), 0) << "the loop ended on the quit message";
    EXPECT_EQ(scriptedWindow(), nullptr);
    EXPECT_EQ(viewer.renderContext, context) << "kept, never cleared";
}

TEST_F(WindowProcTest, DestructionRemovesTheIdleHookEvenWhileAnimating) {
    viewer.keepAnimating = 1;
    requestRedraw();
    EXPECT_EQ(windowProc(programWindow(), WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(WindowProcTest, CreationSelectsTheFormatMakesTheContextCurrentAndSetsUpTheScene) {
    EXPECT_EQ(viewer.deviceContext, GetDC(programWindow()));
    EXPECT_EQ(GetPixelFormat(viewer.deviceContext), 1);
    EXPECT_NE(viewer.renderContext, nullptr);
    EXPECT_EQ(scripted.currentContext, viewer.renderContext);
    EXPECT_EQ(viewer.palette, nullptr) << "true colour needs no palette";
    EXPECT_EQ(fakeSceneInits, 1);
    EXPECT_EQ(viewer.idleHook, nullptr) << "creation asks for no frame";
}

// The snap-back's own WM_SIZE arrives through the queue, once the window
// system has answered; the echo of the size it already has ends it.
TEST_F(WindowProcTest, ASizeChangeIsSnappedBackAndTheExchangeEndsThere) {
    scriptedResizeFromOutside(1000, 700);
    EXPECT_EQ(runUntilIdle(), 0) << "no frame for a size change";
    const std::vector<ScriptedCall> resizes = scriptedCallsNamed("resizeWindow");
    ASSERT_EQ(resizes.size(), 2u) << "one snap-back, and one request for the size it has";
    for (const ScriptedCall& resize : resizes) {
        EXPECT_EQ(resize.args, (std::vector<std::intptr_t>{864, 864}));
    }
    EXPECT_EQ(scriptedCount("moveWindow"), 0);
    EXPECT_EQ(heard(WM_SIZE), 2);
    EXPECT_EQ(scriptedWindow()->reportedWidth, 864);
    EXPECT_EQ(scriptedWindow()->reportedHeight, 864);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(WindowProcTest, PaintAsksForOneFrameAndValidatesTheWindow) {
    scriptedInvalidate();
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(handlerCallNames(), std::vector<std::string>{"renderFrame"});
    EXPECT_EQ(heard(WM_PAINT), 1);
    EXPECT_FALSE(scriptedWindow()->invalid);
}

TEST_F(WindowProcTest, TheLeftButtonCapturesAndDragsWithSignedCoordinates) {
    scriptedPostMouse(WM_LBUTTONDOWN, -30, -40);
    runUntilIdle();
    EXPECT_EQ(core.capture, programWindow());
    EXPECT_EQ(scriptedCount("grabPointer"), 1);
    EXPECT_EQ(viewer.dragging, 1);
    EXPECT_EQ(viewer.dragStartX, -30);
    EXPECT_EQ(viewer.dragStartY, -40);

    scriptedPostMouse(WM_MOUSEMOVE, 500, 300);
    EXPECT_EQ(runUntilIdle(), 1);

    scriptedPostMouse(WM_LBUTTONUP, -30, -40);  // back at the press: the model stops
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(core.capture, nullptr);
    EXPECT_EQ(scriptedCount("releasePointer"), 1);
    EXPECT_EQ(viewer.dragging, 0);
}

TEST_F(WindowProcTest, AReleaseWithoutAPressStillReachesTheTrackball) {
    viewer.spinEnabled = 1;
    viewer.dragStartX = 0;
    viewer.dragStartY = 0;
    scriptedPostMouse(WM_LBUTTONUP, 0, 0);  // where the held press position says
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(scriptedCount("releasePointer"), 1);
    EXPECT_EQ(viewer.spinEnabled, 0) << "a release at the held press position stops the model";
    EXPECT_EQ(viewer.spinAngle, 0.0f);

    scriptedPostMouse(WM_LBUTTONUP, 20, 20);  // now stopped: nothing to do
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(scriptedCount("releasePointer"), 2);
    EXPECT_EQ(viewer.keepAnimating, 0);
}

// Default processing answers 0 to both; handled, the activation answers 1.
TEST_F(WindowProcTest, WithoutAPaletteBothPaletteMessagesAreLeftAlone) {
    ASSERT_EQ(viewer.palette, nullptr);
    EXPECT_EQ(send(WM_QUERYNEWPALETTE), 0);
    EXPECT_EQ(send(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(std::uintptr_t{0x9999})), 0);
    EXPECT_EQ(scriptedCount("realizePalette"), 0);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

class PaletteTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        scripted.format = testPaletteFormat();
        openWindow();
        viewer.keepAnimating = 0;
    }

    // What the handler left selected, and how much of it reached the screen.
    static void expectRealisedOnce() {
        EXPECT_EQ(scriptedWindow()->selectedPalette, viewer.palette);
        const std::vector<ScriptedCall> realised = scriptedCallsNamed("realizePalette");
        ASSERT_EQ(realised.size(), 1u);
        EXPECT_EQ(realised.at(0).args, (std::vector<std::intptr_t>{256}));
    }
};

TEST_F(PaletteTest, ThePaletteFormatGivesA256EntryPaletteSelectedIntoTheWindow) {
    ASSERT_NE(viewer.palette, nullptr);
    EXPECT_EQ(scriptedWindow()->selectedPalette, viewer.palette);
    EXPECT_EQ(RealizePalette(viewer.deviceContext), 256u);
}

TEST_F(PaletteTest, ActivationRealisesThePaletteAndRedraws) {
    EXPECT_EQ(send(WM_QUERYNEWPALETTE), 1);
    expectRealisedOnce();
    EXPECT_EQ(runUntilIdle(), 1);
}

TEST_F(PaletteTest, AChangeByAnotherWindowRealisesAndRedrawsOnce) {
    const auto other = reinterpret_cast<WPARAM>(std::uintptr_t{0x9999});
    EXPECT_EQ(send(WM_PALETTECHANGED, other), 0);
    expectRealisedOnce();
    EXPECT_EQ(runUntilIdle(), 1);
}

TEST_F(PaletteTest, AChangeByThisWindowItselfIsIgnored) {
    send(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(programWindow()));
    EXPECT_EQ(scriptedCount("realizePalette"), 0);
    EXPECT_EQ(runUntilIdle(), 0);
}

// A format that asks for a palette the ramp cannot fill gets none; the
// window works on, without palette handling.
TEST_F(ShellTest, APaletteFormatWithoutARampLeavesTheWindowWorkingWithoutPaletteHandling) {
    scripted.format = testPaletteFormat();
    scripted.format.cColorBits = 16;
    openWindow();
    EXPECT_EQ(viewer.palette, nullptr);
    EXPECT_NE(viewer.renderContext, nullptr);
    EXPECT_EQ(send(WM_QUERYNEWPALETTE), 0);
    EXPECT_EQ(scriptedCount("realizePalette"), 0);
}

TEST_F(NoContextTest, SizePaintAndMouseAreLeftToDefaultProcessing) {
    ASSERT_EQ(viewer.renderContext, nullptr);
    viewer.dragging = 1;  // even mid-drag, a move without context is not a turn
    const ViewerState before = viewer;
    scriptedResizeFromOutside(1000, 700);
    scriptedInvalidate();
    scriptedPostMouse(WM_LBUTTONDOWN, 100, 100);
    scriptedPostMouse(WM_MOUSEMOVE, 300, 200);
    scriptedPostMouse(WM_LBUTTONUP, 300, 200);
    EXPECT_EQ(runUntilIdle(), 0);

    for (UINT message : {WM_SIZE, WM_PAINT, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
        EXPECT_EQ(heard(message), 1) << "message " << message;
    }
    EXPECT_FALSE(scriptedWindow()->invalid) << "default processing validated the paint";
    EXPECT_EQ(handlerCallNames(), std::vector<std::string>{"outsideResize"})
        << "no snap-back, no capture, no release";
    EXPECT_EQ(viewer.dragging, before.dragging);
    EXPECT_EQ(viewer.dragStartX, before.dragStartX);
    EXPECT_EQ(viewer.spinAngle, before.spinAngle);
    EXPECT_EQ(viewer.spinEnabled, before.spinEnabled);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(NoContextTest, KeysStillWorkAndEscStillExits) {
    scriptedPostKey('f');
    scriptedPostKey('p');
    scriptedPostKey(27);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(viewer.wireframe, 1);
    EXPECT_EQ(scriptedCount("deleteContext"), 0) << "no context to delete";
    EXPECT_EQ(scriptedCount("destroyWindow"), 1);
    EXPECT_EQ(scriptedCount("queueRanDry"), 0) << "the loop ended on the quit message";
}

TEST_F(ShellTest, AFailedContextLeavesTheWholeProgramUsableByKeys) {
    scripted.contextCreationSucceeds = false;
    scripted.whenQueueRunsDry = [] {
        scriptedPostKey('f');
        scriptedPostKey(27);
        return true;
    };
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(scriptedCount("waitForEvents"), 1)
        << "the first paint went to default processing, which validated it";
    EXPECT_TRUE(fakeFrames.empty());
}

}  // namespace
