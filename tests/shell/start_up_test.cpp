// WinMain's start-up over the core: the class, the notice, the size from
// the screen height, the window, showing it; and the viewer state it
// starts from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/shell/shell_fixture.h"

namespace {

using StartUpTest = ShellTest;

// The program's first window; its record outlives the window.
const WindowRecord& firstWindow() {
    return *core.windows.at(0);
}

TEST_F(StartUpTest, RunsNoticeSizeCreateShowUpdateInThatOrderThenDraws) {
    escapeAfterFrames(1);
    EXPECT_EQ(runWinMain(), 0);

    std::vector<std::string> names = scriptedCallNames();
    names.resize(std::min<std::size_t>(names.size(), 10));
    // The format is set and the context made inside creation, before the
    // window is shown; the first frame follows the first paint.
    const std::vector<std::string> expected = {
        "messageBox",    "screenMetric", "screenMetric", "choosePixelFormat", "createWindow",
        "createContext", "makeCurrent",  "initScene",    "showWindow",        "renderFrame"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(scriptedCallsNamed("createWindow").at(0).args, (std::vector<std::intptr_t>{1}));
    EXPECT_EQ(scriptedCallsNamed("showWindow").at(0).args, (std::vector<std::intptr_t>{1}));
}

TEST_F(StartUpTest, RegistersTheClassWithTheProgramIconAndTheArrow) {
    escapeAfterFrames(1);
    runWinMain();

    ASSERT_EQ(core.classes.size(), 1u);
    const WindowClassRecord& windowClass = core.classes.at(0);
    EXPECT_EQ(windowClass.name, "OpenGL");
    EXPECT_EQ(windowClass.procedure, &windowProc);
    EXPECT_NE(windowClass.icon, nullptr);
    EXPECT_EQ(windowClass.icon, LoadIconA(nullptr, MAKEINTRESOURCEA(101)));
    EXPECT_NE(windowClass.cursor, nullptr);
    EXPECT_EQ(windowClass.cursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(firstWindow().icon, windowClass.icon);
    EXPECT_EQ(firstWindow().cursor, windowClass.cursor);
}

TEST_F(StartUpTest, ShowsTheUsageNoticeWithoutOwnerBeforeAnyWindowExists) {
    escapeAfterFrames(1);
    runWinMain();

    ASSERT_EQ(scriptedCount("messageBox"), 1);
    const ScriptedCall notice = scriptedCallsNamed("messageBox").at(0);
    EXPECT_EQ(notice.args, (std::vector<std::intptr_t>{0, MB_OK}));
    EXPECT_EQ(notice.texts.at(0), " mouse: touch the window image for movement----- ");
    const std::string caption = notice.texts.at(1);
    EXPECT_FALSE(caption.empty());
    EXPECT_EQ(caption.find('\n'), std::string::npos) << "a one-line caption";

    const auto names = scriptedCallNames();
    const auto noticeAt = std::find(names.begin(), names.end(), "messageBox");
    const auto createAt = std::find(names.begin(), names.end(), "createWindow");
    EXPECT_LT(noticeAt, createAt);
}

TEST_F(StartUpTest, CreatesTheCaptionedWindowAtFiftyFifty) {
    escapeAfterFrames(1);
    runWinMain();

    ASSERT_EQ(core.windows.size(), 1u);
    EXPECT_EQ(firstWindow().className, "OpenGL");
    EXPECT_EQ(firstWindow().title, " Morvane");
    EXPECT_EQ(firstWindow().x, 50);
    EXPECT_EQ(firstWindow().y, 50);
    EXPECT_EQ(firstWindow().width, 864);
    EXPECT_EQ(firstWindow().height, 864);
    EXPECT_EQ(firstWindow().pixelFormat, 1);
}

class ShowCommandTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShowCommandTest, ShowsTheWindowWithTheGivenCommand) {
    escapeAfterFrames(1);
    runWinMain(GetParam());
    // Shown once, then hidden as it is destroyed.
    const std::vector<ScriptedCall> shows = scriptedCallsNamed("showWindow");
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_EQ(shows.at(0).args, (std::vector<std::intptr_t>{1}));
    EXPECT_EQ(shows.at(1).args, (std::vector<std::intptr_t>{0}));
}

INSTANTIATE_TEST_SUITE_P(Commands, ShowCommandTest,
                         ::testing::Values(SW_SHOWNORMAL, SW_SHOW, SW_SHOWDEFAULT));

struct ScreenCase {
    int screenWidth;
    int screenHeight;
    int side;
};

class WindowSizeTest : public ShellTest, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(WindowSizeTest, BothSidesAreEightTenthsOfTheScreenHeightTruncated) {
    scripted.screenWidth = GetParam().screenWidth;
    scripted.screenHeight = GetParam().screenHeight;
    escapeAfterFrames(1);
    runWinMain();

    EXPECT_EQ(viewer.windowWidth, GetParam().side);
    EXPECT_EQ(viewer.windowHeight, GetParam().side);
    EXPECT_EQ(firstWindow().width, GetParam().side);
    EXPECT_EQ(firstWindow().height, GetParam().side);
    for (const ScriptedCall& metric : scriptedCallsNamed("screenMetric")) {
        EXPECT_EQ(metric.args, (std::vector<std::intptr_t>{SM_CYSCREEN}));
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowSizeTest,
                         ::testing::Values(ScreenCase{1920, 1080, 864}, ScreenCase{1024, 768, 614},
                                           ScreenCase{1280, 1024, 819}, ScreenCase{800, 601, 480},
                                           ScreenCase{2560, 1439, 1151}));

TEST_F(StartUpTest, TheFirstPaintAsksForTheFirstFrameAndTheModelTurnsFromIt) {
    escapeAfterFrames(3);
    EXPECT_EQ(runWinMain(), 0);
    ASSERT_EQ(fakeFrames.size(), 3u);
    for (const FakeFrame& frame : fakeFrames) {
        EXPECT_EQ(frame.spinEnabled, 1);
        EXPECT_FLOAT_EQ(frame.spinAngle, 2.0f);
    }
    EXPECT_EQ(fakeSceneInits, 1);
}

TEST_F(StartUpTest, AHiddenStartDrawsNothingUntilItsFirstPaint) {
    // Shown later from outside, which owes the first paint.
    scripted.whenQueueRunsDry = [] {
        ShowWindow(scriptedWindowHandle(), SW_SHOW);
        return true;
    };
    afterFakeFrame = [](int) { scriptedPostKey(27); };
    EXPECT_EQ(runWinMain(SW_HIDE), 0);

    EXPECT_EQ(fakeFrames.size(), 1u);
    const auto names = scriptedCallNames();
    const auto waitAt = std::find(names.begin(), names.end(), "waitForEvents");
    const auto frameAt = std::find(names.begin(), names.end(), "renderFrame");
    EXPECT_LT(waitAt, frameAt) << "a hidden start waits for its paint instead of drawing";
}

TEST(ViewerStateTest, StartsSpinningWithTheGivenValues) {
    const ViewerState state;
    EXPECT_EQ(state.windowX, 50);
    EXPECT_EQ(state.windowY, 50);
    EXPECT_EQ(state.windowWidth, 0);
    EXPECT_EQ(state.windowHeight, 0);
    EXPECT_EQ(state.deviceContext, nullptr);
    EXPECT_EQ(state.renderContext, nullptr);
    EXPECT_EQ(state.palette, nullptr);
    EXPECT_EQ(state.idleHook, nullptr);
    EXPECT_EQ(state.spinAngle, 2.0f);
    EXPECT_EQ(state.spinAxis.x, 0.3f);
    EXPECT_EQ(state.spinAxis.y, 0.2f);
    EXPECT_EQ(state.spinAxis.z, 0.4f);
    EXPECT_EQ(state.spinEnabled, 1);
    EXPECT_EQ(state.keepAnimating, 1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(state.modelRotation[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
    }
    EXPECT_EQ(state.dragging, 0);
    EXPECT_EQ(state.dragStartX, 0);
    EXPECT_EQ(state.dragStartY, 0);
    EXPECT_EQ(state.lastBallVector.x, 0.0f);
    EXPECT_EQ(state.lastBallVector.y, 0.0f);
    EXPECT_EQ(state.lastBallVector.z, 0.0f);
    EXPECT_EQ(state.fogEnabled, 0);
    EXPECT_EQ(state.wireframe, 0);
}

TEST(ViewerStateTest, KeepsItsFieldsInOrderWithTheirWidths) {
    static_assert(std::is_standard_layout_v<ViewerState>);
    const std::vector<std::size_t> offsets = {
        offsetof(ViewerState, windowX),        offsetof(ViewerState, windowY),
        offsetof(ViewerState, windowWidth),    offsetof(ViewerState, windowHeight),
        offsetof(ViewerState, deviceContext),  offsetof(ViewerState, renderContext),
        offsetof(ViewerState, palette),        offsetof(ViewerState, idleHook),
        offsetof(ViewerState, spinAngle),      offsetof(ViewerState, spinAxis),
        offsetof(ViewerState, spinEnabled),    offsetof(ViewerState, keepAnimating),
        offsetof(ViewerState, modelRotation),  offsetof(ViewerState, dragging),
        offsetof(ViewerState, dragStartX),     offsetof(ViewerState, dragStartY),
        offsetof(ViewerState, lastBallVector), offsetof(ViewerState, fogEnabled),
        offsetof(ViewerState, wireframe)};
    EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
    EXPECT_EQ(std::adjacent_find(offsets.begin(), offsets.end()), offsets.end());

    const ViewerState state;
    EXPECT_EQ(sizeof(state.windowX), 4u);
    EXPECT_EQ(sizeof(state.windowHeight), 4u);
    EXPECT_EQ(sizeof(state.spinAngle), 4u);
    EXPECT_EQ(sizeof(state.spinAxis), 12u);
    EXPECT_EQ(sizeof(state.spinEnabled), 4u);
    EXPECT_EQ(sizeof(state.modelRotation), 64u);
    EXPECT_EQ(sizeof(state.dragStartY), 4u);
    EXPECT_EQ(sizeof(state.wireframe), 4u);
    EXPECT_TRUE((std::is_same_v<decltype(state.idleHook), IdleHook>));
    EXPECT_TRUE((std::is_signed_v<decltype(ViewerState::dragStartX)>));
}

}  // namespace
