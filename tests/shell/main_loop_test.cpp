// The idle-driven main loop: its three states, one frame per batch of
// requests, messages before frames, and the exit code.
#include <gtest/gtest.h>

#include <stdexcept>

#include "scene/scene.h"
#include "tests/shell/shell_fixture.h"

namespace {

using MainLoopTest = ShellTest;

void otherHook() {}

TEST_F(MainLoopTest, RequestRedrawInstallsIdleRenderOnlyWhenNoHookIsInstalled) {
    requestRedraw();
    EXPECT_EQ(viewer.idleHook, &idleRender);

    viewer.idleHook = otherHook;
    requestRedraw();
    EXPECT_EQ(viewer.idleHook, &otherHook);
    EXPECT_TRUE(fakeFrames.empty()) << "a request never draws by itself";
}

TEST_F(MainLoopTest, IdleRenderRemovesItselfOnlyWhenNotAnimating) {
    viewer.idleHook = idleRender;
    viewer.keepAnimating = 1;
    idleRender();
    EXPECT_EQ(viewer.idleHook, &idleRender);

    viewer.keepAnimating = 0;
    idleRender();
    EXPECT_EQ(viewer.idleHook, nullptr);
    EXPECT_EQ(fakeFrames.size(), 2u) << "it draws in both cases";
}

TEST_F(MainLoopTest, IdleWaitsForMessagesAndDrawsNothing) {
    openWindow();
    scriptedPostMouse(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(heard(WM_MOUSEMOVE), 1);
}

TEST_F(MainLoopTest, DrawingOnceDrawsOneFrameAndGoesBackToIdle) {
    openWindow();
    viewer.keepAnimating = 0;
    requestRedraw();
    EXPECT_EQ(runUntilIdle(), 1);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(MainLoopTest, AnimatingDrawsUntilKeepAnimatingDropsThenOneMoreFrame) {
    openWindow();
    requestRedraw();
    afterFakeFrame = [](int drawn) {
        if (drawn == 5) {
            viewer.keepAnimating = 0;
        }
    };
    EXPECT_EQ(runUntilIdle(), 6);
    EXPECT_EQ(viewer.idleHook, nullptr);
}

TEST_F(MainLoopTest, AnimatingEndsWithTheWindowAndTheLoopReturnsZero) {
    openWindow();
    requestRedraw();
    escapeAfterFrames(3);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fakeFrames.size(), 3u);
    EXPECT_EQ(viewer.idleHook, nullptr);
    EXPECT_EQ(scriptedCount("renderFrame"), 3) << "no frame after the destruction";
}

TEST_F(MainLoopTest, SeveralRequestsBeforeTheQueueEmptiesGiveOneFrame) {
    openWindow();
    viewer.keepAnimating = 0;
    scriptedPostKey('f');
    scriptedPostKey('p');
    scriptedPostKey('f');
    scriptedInvalidate();
    EXPECT_EQ(runUntilIdle(), 1);
    ASSERT_EQ(fakeFrames.size(), 1u);
    EXPECT_EQ(fakeFrames[0].fogEnabled, 0) << "the one frame shows the final state";
    EXPECT_EQ(fakeFrames[0].wireframe, 1);
}

TEST_F(MainLoopTest, ARepaintWhileTurningAddsNoFrames) {
    openWindow();
    requestRedraw();
    afterFakeFrame = [](int drawn) {
        if (drawn == 2) {
            scriptedInvalidate();
        } else if (drawn == 4) {
            scriptedPostKey(27);
        }
    };
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fakeFrames.size(), 4u);
    EXPECT_EQ(heard(WM_PAINT), 1) << "the repaint was handled once, so it validated";
}

TEST_F(MainLoopTest, ABurstOfMessagesIsDrainedBeforeTheNextFrame) {
    openWindow();
    requestRedraw();
    constexpr int kBurst = 40;
    int dispatchedBeforeFrame3 = -1;
    std::size_t queuedAtFrame3 = 99;
    afterFakeFrame = [&](int drawn) {
        if (drawn == 2) {
            for (int i = 0; i < kBurst; ++i) {
                scriptedPostMouse(WM_MOUSEMOVE, i, i);
                scriptedPostKey('x');
            }
        } else if (drawn == 3) {
            dispatchedBeforeFrame3 = scriptedCount("windowProc");
            queuedAtFrame3 = core.queue.size();
            scriptedPostKey(27);
        }
    };
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(queuedAtFrame3, 0u);
    EXPECT_EQ(dispatchedBeforeFrame3, 3 * kBurst) << "each move, each key and its character";
    EXPECT_EQ(fakeFrames.size(), 3u);
}

TEST_F(MainLoopTest, WhileIconicNothingIsDrawnButEveryMessageIsHandled) {
    openWindow();
    requestRedraw();
    ASSERT_EQ(viewer.keepAnimating, 1);
    scriptedSetIconic(true);
    scriptedPostMouse(WM_MOUSEMOVE, 10, 10);
    scriptedPostKey('f');
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(scriptedCount("renderFrame"), 0);
    EXPECT_EQ(scriptedCount("windowProc"), 3) << "the move, the key and its character";
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(viewer.idleHook, &idleRender) << "the animation is only paused";
}

TEST_F(MainLoopTest, MinimisingStopsTheFramesAndRestoringResumesThem) {
    openWindow();
    requestRedraw();
    afterFakeFrame = [](int drawn) {
        if (drawn == 2) {
            scriptedSetIconic(true);  // no message follows: the loop must look itself
        } else if (drawn == 5) {
            scriptedPostKey(27);
        }
    };
    std::size_t framesWhenRestored = 0;
    int restores = 0;
    scripted.whenQueueRunsDry = [&] {
        framesWhenRestored = fakeFrames.size();
        ++restores;
        scriptedSetIconic(false);
        return true;
    };
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(restores, 1) << "the loop waited exactly once, while minimised";
    EXPECT_EQ(framesWhenRestored, 2u);
    EXPECT_EQ(fakeFrames.size(), 5u);
}

TEST_F(MainLoopTest, TheQuitMessageCodeBecomesTheResult) {
    openWindow();
    PostQuitMessage(3);
    EXPECT_EQ(runMainLoop(), 3);
}

TEST_F(MainLoopTest, TheCloseBoxEndsTheProgramWithZero) {
    afterFakeFrame = [](int drawn) {
        if (drawn == 2) {
            scriptedPost(WM_CLOSE);
        }
    };
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(fakeFrames.size(), 2u);
    EXPECT_EQ(scriptedCount("destroyWindow"), 1);
}

TEST_F(MainLoopTest, ARequestPendingAtDestructionDrawsNothing) {
    openWindow();
    viewer.keepAnimating = 0;
    scriptedPostKey('f');
    scriptedPostKey(27);
    scriptedPostKey('p');  // typed after Esc: goes with the window
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_TRUE(fakeFrames.empty());
    EXPECT_EQ(viewer.wireframe, 0);
}

TEST_F(MainLoopTest, ANeverEndingAnimationFailsInsteadOfHanging) {
    openWindow();
    requestRedraw();
    scripted.queueLookLimit = 100;
    EXPECT_EQ(runMainLoop(), kRunawayExitCode);
    EXPECT_EQ(fakeFrames.size(), 100u);
}

TEST_F(MainLoopTest, ALoopThatDrawsWithoutLookingAtItsQueueIsStoppedByTheScene) {
    fakeFrameLimit = 10;
    openWindow();
    viewer.idleHook = [] {
        for (;;) {
            renderFrame();  // never gives the loop back
        }
    };
    EXPECT_THROW(runMainLoop(), std::runtime_error);
    EXPECT_EQ(fakeFrames.size(), 10u);
}

}  // namespace
