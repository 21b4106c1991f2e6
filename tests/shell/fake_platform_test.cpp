// The fake's own promises, which every shell test relies on: synchronous
// delivery, a non-removing peek, the quit message, key translation, and
// ending instead of hanging when a script runs out.
#include <gtest/gtest.h>

#include <vector>

#include "platform/fake/fake_platform.h"

namespace {

std::vector<UINT> received;
LRESULT createResult = 0;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back(message);
    if (message == WM_CREATE) {
        return createResult;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class FakePlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetFakePlatform();
        received.clear();
        createResult = 0;
    }

    static HWND createWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.lpszClassName = "Probe";
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, "Probe", "probe", 0, 0, 0, 100, 80, nullptr, nullptr, nullptr,
                               nullptr);
    }
};

TEST_F(FakePlatformTest, CreationPaintSizeAndDestructionArriveBeforeTheCallReturns) {
    const HWND window = createWindow();
    ASSERT_EQ(window, kFakeWindow);
    EXPECT_EQ(received, std::vector<UINT>{WM_CREATE});

    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    EXPECT_EQ(received.back(), WM_PAINT);

    SetWindowPos(window, nullptr, 0, 0, 120, 90, SWP_NOMOVE);
    EXPECT_EQ(received.back(), WM_SIZE);

    DestroyWindow(window);
    EXPECT_EQ(received.back(), WM_DESTROY);
    EXPECT_FALSE(fake.windowExists);
}

TEST_F(FakePlatformTest, SizeMessageCarriesTheNewSizeAndFollowsOnlyARealChange) {
    const HWND window = createWindow();
    SetWindowPos(window, nullptr, 0, 0, 100, 80, SWP_NOMOVE);
    EXPECT_EQ(received, std::vector<UINT>{WM_CREATE});

    SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE);
    const FakeCall sent = fakeCallsNamed("windowProc").back();
    EXPECT_EQ(sent.args[0], WM_SIZE);
    EXPECT_EQ(LOWORD(sent.args[2]), 300);
    EXPECT_EQ(HIWORD(sent.args[2]), 200);
}

TEST_F(FakePlatformTest, WindowCreationNeedsTheRegisteredClass) {
    EXPECT_EQ(CreateWindowExA(0, "Probe", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    createWindow();
    DestroyWindow(kFakeWindow);
    received.clear();
    EXPECT_EQ(createWindow(), nullptr) << "one window per run";
    EXPECT_TRUE(received.empty());
}

TEST_F(FakePlatformTest, CreationRefusedByTheProcedureDestroysTheWindow) {
    createResult = -1;
    EXPECT_EQ(createWindow(), nullptr);
    EXPECT_EQ(received, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
}

TEST_F(FakePlatformTest, PeekWithoutRemoveLeavesTheMessageForTheWait) {
    createWindow();
    fakePost(WM_MOUSEMOVE, 0, 7);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(fake.queue.size(), 1u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(msg.lParam, 7);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(FakePlatformTest, QuitComesAfterPostedMessagesAndTheWaitReturnsZeroForIt) {
    createWindow();
    PostQuitMessage(5);
    fakePost(WM_CHAR, 'x');
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(FakePlatformTest, AWindowThatNeedsPaintGetsAPaintUntilValidated) {
    createWindow();
    ShowWindow(kFakeWindow, SW_SHOW);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    DispatchMessageA(&msg);  // the default processing validates
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(FakePlatformTest, TranslationTurnsAKeyIntoItsCharacterNext) {
    createWindow();
    fakePostKey('f');
    fakePostKey('F');
    fakePost(WM_MOUSEMOVE);
    MSG msg{};
    std::vector<std::pair<UINT, WPARAM>> seen;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        seen.emplace_back(msg.message, msg.wParam);
        TranslateMessage(&msg);
    }
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, 'F'}, {WM_CHAR, 'f'}, {WM_KEYDOWN, 'F'}, {WM_CHAR, 'F'}, {WM_MOUSEMOVE, 0}};
    EXPECT_EQ(seen, expected);
}

TEST_F(FakePlatformTest, EscapeTranslatesToCharacter27) {
    createWindow();
    fakePostKey(27);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    TranslateMessage(&msg);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, 27u);
}

TEST_F(FakePlatformTest, ADryScriptAsksTheHookThenFailsTheWaitInsteadOfBlocking) {
    createWindow();
    int asked = 0;
    fake.whenQueueRunsDry = [&] {
        if (++asked == 1) {
            fakePost(WM_CHAR, 'a');
        }
    };
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(fake.calls.back().name, "queueRanDry");
}

TEST_F(FakePlatformTest, ALoopThatNeverWaitsIsEndedWithTheRunawayCode) {
    fake.queueLookLimit = 50;
    MSG msg{};
    int peeks = 0;
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        ++peeks;
    }
    EXPECT_EQ(peeks, 50);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(kRunawayExitCode));
    EXPECT_EQ(fakeCount("runawayLoop"), 1);
}

TEST_F(FakePlatformTest, ADestroyedWindowReceivesNothingMore) {
    createWindow();
    fakePost(WM_CHAR, 'a');
    PostQuitMessage(0);
    DestroyWindow(kFakeWindow);
    received.clear();

    EXPECT_TRUE(fake.queue.empty()) << "the window's queued messages go with it";
    EXPECT_FALSE(UpdateWindow(kFakeWindow));
    EXPECT_FALSE(SetWindowPos(kFakeWindow, nullptr, 0, 0, 5, 5, SWP_NOMOVE));
    fakeSend(WM_PAINT);
    MSG late{};
    late.hwnd = kFakeWindow;
    late.message = WM_CHAR;
    DispatchMessageA(&late);
    EXPECT_TRUE(received.empty());
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE) << "the quit message stays";
}

TEST_F(FakePlatformTest, ASizeHandlerThatNeverSettlesIsCutOff) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message == WM_SIZE) {
            SetWindowPos(window, nullptr, 0, 0, LOWORD(lParam) + 1, 10, SWP_NOMOVE);
        }
        return 0;
    };
    windowClass.lpszClassName = "Restless";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, "Restless", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    fakeResizeFromOutside(20, 10);
    EXPECT_EQ(fakeCount("sendTooDeep"), 1);
}

TEST_F(FakePlatformTest, SettingsShapeThePixelFormatAndContextAnswers) {
    createWindow();
    const HDC dc = GetDC(kFakeWindow);
    ASSERT_EQ(dc, kFakeDeviceContext);
    EXPECT_EQ(WindowFromDC(dc), kFakeWindow);

    PIXELFORMATDESCRIPTOR request{};
    request.cDepthBits = 16;
    fake.choosePixelFormatResult = 3;
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 3);
    EXPECT_EQ(fake.pixelFormatRequest.cDepthBits, 16);
    fake.setPixelFormatResult = FALSE;
    EXPECT_FALSE(SetPixelFormat(dc, 3, &request));
    EXPECT_EQ(GetPixelFormat(dc), 0) << "a failed set leaves no format";
    fake.setPixelFormatResult = TRUE;
    EXPECT_TRUE(SetPixelFormat(dc, 3, &request));
    EXPECT_EQ(GetPixelFormat(dc), 3);

    fake.pixelFormat = fakePaletteFormat();
    PIXELFORMATDESCRIPTOR described{};
    EXPECT_EQ(DescribePixelFormat(dc, 3, sizeof(described), &described), 1);
    EXPECT_EQ(described.cColorBits, 8);
    EXPECT_NE(described.dwFlags & PFD_NEED_PALETTE, 0u);

    EXPECT_EQ(wglCreateContext(dc), kFakeRenderContext);
    fake.contextCreationSucceeds = false;
    EXPECT_EQ(wglCreateContext(dc), nullptr);
}

TEST_F(FakePlatformTest, ScreenSizeIsSettableAndMessageBoxesAnswerOk) {
    fake.screenWidth = 1280;
    fake.screenHeight = 1024;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), IDOK);
    const FakeCall box = fake.calls.back();
    EXPECT_EQ(box.texts, (std::vector<std::string>{"text", "caption"}));
}

}  // namespace
