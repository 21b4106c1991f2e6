// The core's rules over a scripted backend: queue order, the
// non-removing peek, the sleeping wait, WM_CHAR from TranslateMessage,
// WM_SIZE only for news, and destruction.
#include <gtest/gtest.h>

#include <functional>

#include "platform/core.h"

namespace {

struct ScriptedWindow : NativeWindow {
    using NativeWindow::NativeWindow;
};

// What the next sleep delivers; the test fails rather than hang when empty.
std::function<bool()> onWait;
int waits = 0;

bool createWindow(WindowRecord& record, int) {
    record.native = std::make_unique<ScriptedWindow>(*coreBackend());
    return true;
}
void nothing(WindowRecord&) {}
void showWindow(WindowRecord&, bool) {}
bool grab(WindowRecord&) {
    return true;
}
void release() {}
bool notIconic(const WindowRecord&) {
    return false;
}
int metric(int) {
    return 1000;
}
int box(WindowRecord*, const char*, const char*, UINT) {
    return IDOK;
}
void readNothing() {}
bool wait() {
    ++waits;
    return onWait ? onWait() : false;
}
int character(const MSG& msg) {
    return msg.wParam == 'F' ? 'f' : -1;
}
int chooseFormat(const PIXELFORMATDESCRIPTOR&) {
    return 1;
}
int formatCount() {
    return 1;
}
bool describe(int, PIXELFORMATDESCRIPTOR*) {
    return true;
}
UINT noPalette(WindowRecord&, const std::vector<PALETTEENTRY>&) {
    return 0;
}
HGLRC noContext(WindowRecord&) {
    return nullptr;
}
bool current(WindowRecord*, HGLRC) {
    return true;
}
bool deleted(HGLRC) {
    return true;
}
bool swapped(WindowRecord&) {
    return true;
}

std::string connected() {
    return {};
}

const PlatformBackend scripted = {
    .name = "scripted",
    .connect = connected,
    .createWindow = createWindow,
    .destroyWindow = nothing,
    .showWindow = showWindow,
    .moveWindow = nothing,
    .resizeWindow = nothing,
    .grabPointer = grab,
    .releasePointer = release,
    .iconic = notIconic,
    .screenMetric = metric,
    .messageBox = box,
    .readEvents = readNothing,
    .waitForEvents = wait,
    .keyCharacter = character,
    .choosePixelFormat = chooseFormat,
    .pixelFormatCount = formatCount,
    .describePixelFormat = describe,
    .realizePalette = noPalette,
    .createContext = noContext,
    .makeCurrent = current,
    .deleteContext = deleted,
    .swapBuffers = swapped,
};

std::vector<UINT> heard;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    heard.push_back(message);
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        coreReset();
        coreUseBackend(&scripted);
        heard.clear();
        onWait = nullptr;
        waits = 0;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.lpszClassName = "Core";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        window =
            CreateWindowExA(0, "core", "t", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        record = coreFindWindow(window);
    }
    void TearDown() override { coreReset(); }

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
    corePost(*record, WM_KEYDOWN, 'F', 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(waits, 0);
}

TEST_F(CoreTest, TheCharacterComesBeforeLaterInput) {
    corePost(*record, WM_KEYDOWN, 'F', 0);
    corePost(*record, WM_MOUSEMOVE, 0, corePointLParam(-5, 7));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('f'));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(msg.lParam)), -5);  // signed client coordinates
    corePost(*record, WM_KEYDOWN, 'Q', 0);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_FALSE(TranslateMessage(&msg));  // no character for this key
}

TEST_F(CoreTest, GetMessageSleepsUntilTheBackendDeliversAndFailsWhenItCannot) {
    onWait = [this] {
        corePost(*record, WM_CLOSE, 0, 0);
        return true;
    };
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(waits, 1);
    onWait = [] { return false; };
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
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
TEST(CoreChoice, TheFirstCandidateThatConnectsIsChosenElseTheLastReasonIsGiven) {
    coreReset();
    PlatformBackend refusing = scripted;
    refusing.connect = [] { return std::string("nothing there"); };
    const PlatformBackend* const none[] = {&refusing, &refusing};
    EXPECT_EQ(coreConnect(none), "nothing there");
    EXPECT_EQ(coreBackend(), nullptr);
    const PlatformBackend* const second[] = {&refusing, &scripted};
    EXPECT_EQ(coreConnect(second), "");
    EXPECT_EQ(coreBackend(), &scripted);
    EXPECT_EQ(coreConnect(none), "");  // chosen once, for the whole run
    EXPECT_EQ(coreBackend(), &scripted);
    coreReset();
}

}  // namespace
