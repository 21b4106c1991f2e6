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
    fakePostMouse(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(fakeCount("PeekMessageA"), 0) << "no hook: straight to the wait";
    EXPECT_EQ(fakeCount("DispatchMessageA"), 1);
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
    EXPECT_EQ(fakeCount("renderFrame"), 3) << "no frame after the destruction";
}

TEST_F(MainLoopTest, SeveralRequestsBeforeTheQueueEmptiesGiveOneFrame) {
    openWindow();
    viewer.keepAnimating = 0;
    fakePostKey('f');
    fakePostKey('p');
    fakePostKey('f');
    fakeInvalidate();
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
            fakeInvalidate();
        } else if (drawn == 4) {
            fakePostKey(27);
        }
    };
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fakeFrames.size(), 4u);
    EXPECT_EQ(fakeCount("BeginPaint"), 1) << "the repaint itself was handled";
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
                fakePostMouse(WM_MOUSEMOVE, i, i);
                fakePostKey('x');
            }
        } else if (drawn == 3) {
            dispatchedBeforeFrame3 = fakeCount("DispatchMessageA");
            queuedAtFrame3 = fake.queue.size();
            fakePostKey(27);
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
    fakeSetIconic(true);
    fakePostMouse(WM_MOUSEMOVE, 10, 10);
    fakePostKey('f');
    EXPECT_EQ(runUntilIdle(), 0);
    EXPECT_EQ(fakeCount("renderFrame"), 0);
    EXPECT_EQ(fakeCount("DispatchMessageA"), 3) << "the move, the key and its character";
    EXPECT_EQ(viewer.fogEnabled, 1);
    EXPECT_EQ(viewer.idleHook, &idleRender) << "the animation is only paused";
}

TEST_F(MainLoopTest, MinimisingStopsTheFramesAndRestoringResumesThem) {
    openWindow();
    requestRedraw();
    afterFakeFrame = [](int drawn) {
        if (drawn == 2) {
            fakeSetIconic(true);  // no message follows: the loop must look itself
        } else if (drawn == 5) {
            fakePostKey(27);
        }
    };
    std::size_t framesWhenRestored = 0;
    int restores = 0;
    fake.whenQueueRunsDry = [&] {
        framesWhenRestored = fakeFrames.size();
        ++restores;
        fakeSetIconic(false);
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
            fakePost(WM_CLOSE);
        }
    };
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(fakeFrames.size(), 2u);
    EXPECT_EQ(fakeCount("DestroyWindow"), 1);
}

TEST_F(MainLoopTest, ARequestPendingAtDestructionDrawsNothing) {
    openWindow();
    viewer.keepAnimating = 0;
    fakePostKey('f');
    fakePostKey(27);
    fakePostKey('p');  // typed after Esc: goes with the window
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_TRUE(fakeFrames.empty());
    EXPECT_EQ(viewer.wireframe, 0);
}

TEST_F(MainLoopTest, ANeverEndingAnimationFailsInsteadOfHanging) {
    openWindow();
    requestRedraw();
    fake.queueLookLimit = 100;
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
