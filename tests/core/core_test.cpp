// The core's rules over the scripted backend: queue order, the
// non-removing peek, the sleeping wait, WM_CHAR from TranslateMessage,
// WM_SIZE only for news, and destruction; and the backend's own guards,
// which every shell test relies on.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/scripted_backend.h"

namespace {

std::vector<UINT> heard;

LRESULT createResult = 0;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    heard.push_back(message);
    if (message == WM_CREATE) {
        return createResult;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetScriptedBackend();
        heard.clear();
        createResult = 0;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.lpszClassName = "Core";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        window = create();
        ASSERT_NE(window, nullptr);
        record = coreFindWindow(window);
    }
    void TearDown() override { coreReset(); }

    static HWND create() {
        return CreateWindowExA(0, "core", "t", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                               nullptr);
    }

    HWND window = nullptr;
    WindowRecord* record = nullptr;
};

TEST_F(CoreTest, CreationIsHeardSynchronouslyAndShowingOwesOnePaint) {
    EXPECT_EQ(heard, std::vector<UINT>{WM_CREATE});
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    EXPECT_EQ(heard.back(), static_cast<UINT>(WM_PAINT));
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the paint was taken
}

TEST_F(CoreTest, PostedBeforeQuitBeforePaintAndPeekWithoutRemovingKeepsIt) {
    ShowWindow(window, SW_SHOW);  // owes a paint
    PostQuitMessage(3);
    scriptedPostKey('f');
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(scriptedCount("waitForEvents"), 0);
}

TEST_F(CoreTest, TheCharacterComesBeforeLaterInput) {
    scriptedPostKey('f');
    corePost(*record, WM_MOUSEMOVE, 0, corePointLParam(-5, 7));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('f'));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(msg.lParam)), -5);  // signed client coordinates
    corePost(*record, WM_KEYDOWN, 0x10, 0);                 // Shift types nothing
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_FALSE(TranslateMessage(&msg));  // no character for this key
}

TEST_F(CoreTest, GetMessageSleepsUntilTheBackendDeliversAndFailsWhenItCannot) {
    scripted.whenQueueRunsDry = [this] {
        corePost(*record, WM_CLOSE, 0, 0);
        return true;
    };
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(scriptedCount("waitForEvents"), 1);
    scripted.whenQueueRunsDry = [] { return false; };
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
    EXPECT_EQ(scripted.calls.back().name, "queueRanDry");
}

TEST_F(CoreTest, OnlyANewSizeIsReported) {
    coreReportSize(*record, 100, 100);  // the created size
    coreReportSize(*record, 300, 200);
    coreReportSize(*record, 300, 200);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(LOWORD(msg.lParam), 300);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(CoreTest, CloseDestroysDropsQueuedInputAndQuits) {
    corePost(*record, WM_MOUSEMOVE, 0, 0);
    SetCapture(window);
    coreSend(*record, WM_CLOSE, 0, 0);
    EXPECT_EQ(heard.back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(coreFindWindow(window), nullptr);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);  // the queued move went with the window
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(SetCapture(nullptr), nullptr);  // capture was released
    EXPECT_FALSE(DestroyWindow(window));
}

// The first candidate that connects serves the run; when none does, the
// last one's reason is what the user reads.
TEST_F(CoreTest, CreationRefusedByTheProcedureDestroysTheWindow) {
    heard.clear();
    scripted.calls.clear();
    createResult = -1;
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(heard, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_EQ(scriptedCount("createWindow"), 0) << "no native window for a refused one";
}

TEST_F(CoreTest, ADestroyedWindowReceivesNothingMoreButTheQuitStays) {
    scriptedPost(WM_CHAR, 'a');
    DestroyWindow(window);
    heard.clear();

    EXPECT_TRUE(core.queue.empty()) << "the window's queued messages go with it";
    EXPECT_FALSE(UpdateWindow(window));
    EXPECT_FALSE(SetWindowPos(window, nullptr, 0, 0, 5, 5, SWP_NOMOVE));
    EXPECT_EQ(coreSend(*record, WM_PAINT, 0, 0), 0);
    MSG late{};
    late.hwnd = window;
    late.message = WM_CHAR;
    DispatchMessageA(&late);
    EXPECT_TRUE(heard.empty());
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 7u);
}

// A size request is answered through the queue, as the window system's
// configure is: nothing reaches the procedure while SetWindowPos runs.
TEST_F(CoreTest, ASizeRequestIsAnsweredThroughTheQueue) {
    heard.clear();
    EXPECT_TRUE(SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE));
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(scriptedCallsNamed("resizeWindow").at(0).args,
              (std::vector<std::intptr_t>{300, 200}));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(msg.lParam, MAKELPARAM(300, 200));
    SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "no news, no WM_SIZE";
}

TEST_F(CoreTest, ALoopThatNeverWaitsIsEndedWithTheRunawayCodeEvenWhileInputKeepsComing) {
    scripted.queueLookLimit = 50;
    MSG msg{};
    int peeks = 0;
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        ++peeks;
    }
    EXPECT_EQ(peeks, 50);
    scriptedPost(WM_MOUSEMOVE);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(kRunawayExitCode));
    EXPECT_EQ(scriptedCount("runawayLoop"), 1);
}

TEST_F(CoreTest, AWaitWhoseScriptDeliversNothingIsStoppedByTheGuard) {
    scripted.queueLookLimit = 10;
    scripted.whenQueueRunsDry = [] { return true; };  // claims news, brings none
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(kRunawayExitCode));
    EXPECT_EQ(scriptedCount("waitForEvents"), 10);
}

TEST_F(CoreTest, SettingsShapeThePixelFormatContextAndScreenAnswers) {
    const HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request{};
    request.cDepthBits = 16;
    scripted.chosenFormat = 2;
    scripted.formatCount = 2;
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 2);
    EXPECT_EQ(scripted.formatRequest.cDepthBits, 16);
    scripted.formatCanBeSet = false;
    EXPECT_FALSE(SetPixelFormat(dc, 2, &request));
    EXPECT_EQ(GetPixelFormat(dc), 0) << "a failed set leaves no format";
    scripted.formatCanBeSet = true;
    EXPECT_TRUE(SetPixelFormat(dc, 2, &request));
    EXPECT_EQ(GetPixelFormat(dc), 2);

    scripted.format = testPaletteFormat();
    PIXELFORMATDESCRIPTOR described{};
    EXPECT_EQ(DescribePixelFormat(dc, 2, sizeof(described), &described), 2);
    EXPECT_EQ(described.cColorBits, 8);

    const HGLRC context = wglCreateContext(dc);
    EXPECT_NE(context, nullptr);
    EXPECT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(scripted.currentContext, context);
    scripted.contextCreationSucceeds = false;
    EXPECT_EQ(wglCreateContext(dc), nullptr);

    scripted.screenHeight = 1024;
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    scripted.messageBoxAnswer = 0;  // as when no box could be shown
    EXPECT_EQ(MessageBoxA(window, "text", nullptr, MB_ICONERROR), 0);
    const ScriptedCall box = scriptedCallsNamed("messageBox").at(0);
    EXPECT_EQ(box.args, (std::vector<std::intptr_t>{scriptedArg(window), MB_ICONERROR}));
    EXPECT_EQ(box.texts, (std::vector<std::string>{"text", "Error"}));
}

TEST_F(CoreTest, AHiddenWindowIsPaintedOnlyOnceShown) {
    scriptedInvalidate();
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
}

// Minimising stops nothing by itself; a restore owes a paint.
TEST_F(CoreTest, IconicIsTheWindowSystemsAnswerAndARestoreOwesAPaint) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    scriptedSetIconic(true);
    EXPECT_TRUE(IsIconic(window));
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    scriptedSetIconic(false);
    EXPECT_FALSE(IsIconic(window));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
}

TEST(CoreChoice, TheFirstCandidateThatConnectsIsChosenElseTheLastReasonIsGiven) {
    coreReset();
    PlatformBackend refusing = scriptedBackend;
    refusing.connect = [] { return std::string("nothing there"); };
    const PlatformBackend* const none[] = {&refusing, &refusing};
    EXPECT_EQ(coreConnect(none), "nothing there");
    EXPECT_EQ(coreBackend(), nullptr);
    const PlatformBackend* const second[] = {&refusing, &scriptedBackend};
    EXPECT_EQ(coreConnect(second), "");
    EXPECT_EQ(coreBackend(), &scriptedBackend);
    EXPECT_EQ(coreConnect(none), "");  // chosen once, for the whole run
    EXPECT_EQ(coreBackend(), &scriptedBackend);
    coreReset();
}

}  // namespace
