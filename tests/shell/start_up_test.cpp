// WinMain's start-up: the class, the notice, the size from the screen
// height, the window, showing it; and the viewer state it starts from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/shell/shell_fixture.h"

namespace {

using StartUpTest = ShellTest;

// The calls the shell makes itself, in order; what the pixel-format code
// asks of the platform in between is its own business.
std::vector<std::string> shellCallNames() {
    static const std::vector<std::string> shellCalls = {
        "LoadIconA",        "LoadCursorA",     "RegisterClassA", "MessageBoxA",
        "GetSystemMetrics", "CreateWindowExA", "GetDC",          "ChoosePixelFormat",
        "wglCreateContext", "wglMakeCurrent",  "initScene",      "ShowWindow",
        "UpdateWindow",     "BeginPaint",      "EndPaint",       "renderFrame"};
    std::vector<std::string> names;
    for (const std::string& name : fakeCallNames()) {
        if (std::find(shellCalls.begin(), shellCalls.end(), name) != shellCalls.end()) {
            names.push_back(name);
        }
    }
    return names;
}

std::intptr_t handle(const void* pointer) {
    return reinterpret_cast<std::intptr_t>(pointer);
}

TEST_F(StartUpTest, RunsRegisterNoticeSizeCreateShowUpdateInThatOrderThenDraws) {
    escapeAfterFrames(1);
    EXPECT_EQ(runWinMain(), 0);

    std::vector<std::string> names = shellCallNames();
    names.resize(std::min<std::size_t>(names.size(), 17));
    const std::vector<std::string> expected = {
        "LoadIconA",         "LoadCursorA",      "RegisterClassA",  "MessageBoxA",
        "GetSystemMetrics",  "GetSystemMetrics", "CreateWindowExA", "GetDC",
        "ChoosePixelFormat", "wglCreateContext", "wglMakeCurrent",  "initScene",
        "ShowWindow",        "UpdateWindow",     "BeginPaint",      "EndPaint",
        "renderFrame"};
    EXPECT_EQ(names, expected);
}

TEST_F(StartUpTest, RegistersTheOwnDcClassWithIcon101TheArrowAndNoBrush) {
    escapeAfterFrames(1);
    runWinMain();

    const FakeCall icon = fakeCallsNamed("LoadIconA").at(0);
    EXPECT_EQ(icon.args, (std::vector<std::intptr_t>{handle(kInstance), 101}));
    const FakeCall cursor = fakeCallsNamed("LoadCursorA").at(0);
    EXPECT_EQ(cursor.args, (std::vector<std::intptr_t>{0, 32512})) << "the system arrow";

    const FakeCall registration = fakeCallsNamed("RegisterClassA").at(0);
    EXPECT_EQ(registration.texts, (std::vector<std::string>{"OpenGL", "(null)"}));
    const std::vector<std::intptr_t> expected = {CS_VREDRAW | CS_HREDRAW | CS_OWNDC,
                                                 fakeArg(&windowProc),
                                                 0,
                                                 0,
                                                 handle(kInstance),
                                                 handle(kFakeIcon),
                                                 handle(kFakeCursor),
                                                 0};
    EXPECT_EQ(registration.args, expected);
}

TEST_F(StartUpTest, ShowsTheUsageNoticeWithoutOwnerBeforeAnyWindowExists) {
    escapeAfterFrames(1);
    runWinMain();

    ASSERT_EQ(fakeCount("MessageBoxA"), 1);
    const FakeCall notice = fakeCallsNamed("MessageBoxA").at(0);
    EXPECT_EQ(notice.args, (std::vector<std::intptr_t>{0, MB_OK}));
    EXPECT_EQ(notice.texts.at(0), " mouse: touch the window image for movement----- ");
    const std::string caption = notice.texts.at(1);
    EXPECT_FALSE(caption.empty());
    EXPECT_EQ(caption.find('\n'), std::string::npos) << "a one-line caption";

    const auto names = fakeCallNames();
    const auto noticeAt = std::find(names.begin(), names.end(), "MessageBoxA");
    const auto createAt = std::find(names.begin(), names.end(), "CreateWindowExA");
    EXPECT_LT(noticeAt, createAt);
}

TEST_F(StartUpTest, CreatesTheCaptionedOverlappedWindowAtFiftyFiftyAndShowsIt) {
    escapeAfterFrames(1);
    runWinMain();

    const FakeCall creation = fakeCallsNamed("CreateWindowExA").at(0);
    EXPECT_EQ(creation.texts, (std::vector<std::string>{"OpenGL", " Morvane"}));
    const std::vector<std::intptr_t> expected = {
        0,
        WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
        50,
        50,
        864,
        864,
        0,
        0,
        handle(kInstance),
        0};
    EXPECT_EQ(creation.args, expected);
    EXPECT_EQ(fakeCallsNamed("UpdateWindow").at(0).args,
              (std::vector<std::intptr_t>{handle(kFakeWindow)}));
}

class ShowCommandTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShowCommandTest, ShowsTheWindowWithTheGivenCommand) {
    escapeAfterFrames(1);
    runWinMain(GetParam());
    ASSERT_EQ(fakeCount("ShowWindow"), 1);
    EXPECT_EQ(fakeCallsNamed("ShowWindow").at(0).args,
              (std::vector<std::intptr_t>{handle(kFakeWindow), GetParam()}));
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
    fake.screenWidth = GetParam().screenWidth;
    fake.screenHeight = GetParam().screenHeight;
    escapeAfterFrames(1);
    runWinMain();

    EXPECT_EQ(viewer.windowWidth, GetParam().side);
    EXPECT_EQ(viewer.windowHeight, GetParam().side);
    const FakeCall creation = fakeCallsNamed("CreateWindowExA").at(0);
    EXPECT_EQ(creation.args.at(4), GetParam().side);
    EXPECT_EQ(creation.args.at(5), GetParam().side);
    for (const FakeCall& metric : fakeCallsNamed("GetSystemMetrics")) {
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

TEST_F(StartUpTest, NothingIsDrawnUntilTheFirstPaint) {
    fake.whenQueueRunsDry = [] { fakeInvalidate(); };  // uncovered later
    afterFakeFrame = [](int) { fakePostKey(27); };
    EXPECT_EQ(runWinMain(SW_HIDE), 0);

    EXPECT_EQ(fakeFrames.size(), 1u);
    const auto names = fakeCallNames();
    const auto waitAt = std::find(names.begin(), names.end(), "GetMessageA");
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
