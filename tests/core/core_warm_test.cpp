// The warm-up over the scripted backend: it starts from the first box only
// when the entry registered it, runs the draw on another thread that is
// joined before MessageBoxA returns, and the window then takes what it
// found, or asks the backend itself when the request or format differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/support/scripted_backend.h"

namespace {

std::thread::id drawThread;
int drawsSeen = 0;

void recordDraw() {
    drawThread = std::this_thread::get_id();
    ++drawsSeen;
}

PIXELFORMATDESCRIPTOR programRequest() {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.cDepthBits = 16;
    return request;
}

class CoreWarmUp : public ::testing::Test {
protected:
    void SetUp() override {
        resetScriptedBackend();
        scripted.formatCount = 3;
        scripted.chosenFormat = 2;
        drawThread = {};
        drawsSeen = 0;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "Warm";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }
    void TearDown() override { coreReset(); }

    static void showNotice() { MessageBoxA(nullptr, "notice", "caption", MB_OK); }

    // A window with the format the backend chooses for this request.
    HDC windowWithFormat(const PIXELFORMATDESCRIPTOR& request) {
        HWND window =
            CreateWindowExA(0, "Warm", "w", 0, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
        HDC dc = GetDC(window);
        const int format = ChoosePixelFormat(dc, &request);
        EXPECT_EQ(SetPixelFormat(dc, format, &request), format != 0 ? TRUE : FALSE);
        return dc;
    }

    static int callsNamed(const std::string& name) {
        return static_cast<int>(
            std::count_if(scripted.calls.begin(), scripted.calls.end(),
                          [&](const ScriptedCall& c) { return c.name == name; }));
    }
};

TEST_F(CoreWarmUp, WithoutARegisteredDrawTheBoxWarmsNothingUp) {
    showNotice();
    EXPECT_EQ(callsNamed("choosePixelFormat"), 0);
    EXPECT_EQ(callsNamed("warmContext"), 0);
    EXPECT_EQ(drawsSeen, 0);
}

TEST_F(CoreWarmUp, TheFirstBoxDrawsOnceOnAnotherThreadJoinedBeforeItReturns) {
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    // The scripted box returns at once: the draw seen here was joined.
    EXPECT_EQ(drawsSeen, 1);
    EXPECT_NE(drawThread, std::thread::id{});
    EXPECT_NE(drawThread, std::this_thread::get_id());
    EXPECT_EQ(scripted.formatRequest.cDepthBits, 16);
    ASSERT_EQ(callsNamed("warmContext"), 1);
    showNotice();
    EXPECT_EQ(drawsSeen, 1) << "a later box warmed up again";
    EXPECT_EQ(callsNamed("warmContext"), 1);
}

TEST_F(CoreWarmUp, TheWindowKeepsTheFormatAndTakesTheContextWithoutAskingAgain) {
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    const int choicesBefore = callsNamed("choosePixelFormat");
    HDC dc = windowWithFormat(programRequest());
    EXPECT_EQ(callsNamed("choosePixelFormat"), choicesBefore) << "the kept format was asked again";
    EXPECT_EQ(GetPixelFormat(dc), 2);

    const HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(callsNamed("createContext"), 0);
    EXPECT_EQ(coreContextOf(context), reinterpret_cast<void*>(kWarmContextMarker + 2));
    // Taken once: a second context is the backend's own.
    wglCreateContext(dc);
    EXPECT_EQ(callsNamed("createContext"), 1);
    coreEndWarmUp();
    EXPECT_EQ(callsNamed("deleteContext"), 0) << "the window's context was deleted under it";
}

TEST_F(CoreWarmUp, AnotherRequestIsAskedAgainAndAnotherFormatGetsAFreshContext) {
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    PIXELFORMATDESCRIPTOR other = programRequest();
    other.cDepthBits = 24;
    scripted.chosenFormat = 3;
    const int choicesBefore = callsNamed("choosePixelFormat");
    HDC dc = windowWithFormat(other);
    EXPECT_EQ(callsNamed("choosePixelFormat"), choicesBefore + 1);
    EXPECT_EQ(GetPixelFormat(dc), 3);

    const HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(callsNamed("createContext"), 1);
    EXPECT_EQ(callsNamed("deleteContext"), 1) << "the context for format 2 was not released";
}

TEST_F(CoreWarmUp, AFormatFailureFoundEarlyReachesTheWindowUnchangedAndNothingIsDrawn) {
    scripted.chosenFormat = 0;
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    EXPECT_EQ(callsNamed("warmContext"), 0);
    EXPECT_EQ(drawsSeen, 0);
    scripted.chosenFormat = 2;  // the kept answer counts, not a second look
    HWND window =
        CreateWindowExA(0, "Warm", "w", 0, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    const PIXELFORMATDESCRIPTOR request = programRequest();
    EXPECT_EQ(ChoosePixelFormat(GetDC(window), &request), 0);
}

TEST_F(CoreWarmUp, WithoutAReadyContextTheWindowMakesItsOwn) {
    scripted.warmContextSucceeds = false;
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    HDC dc = windowWithFormat(programRequest());
    EXPECT_NE(wglCreateContext(dc), nullptr);
    EXPECT_EQ(callsNamed("createContext"), 1);
}

TEST_F(CoreWarmUp, AContextNobodyTookIsDeletedAtTheEnd) {
    coreSetWarmUp(programRequest(), recordDraw);
    showNotice();
    coreEndWarmUp();
    ASSERT_EQ(callsNamed("deleteContext"), 1);
    coreEndWarmUp();
    EXPECT_EQ(callsNamed("deleteContext"), 1) << "deleted twice";
}

}  // namespace
