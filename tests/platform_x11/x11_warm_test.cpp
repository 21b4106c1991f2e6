// The warm-up over GLX: the context drawn with on the helper thread in a
// window nobody sees, handed to the window with the viewport of the window,
// a box that still answers Return while the draw runs, and a server without
// GLX on which it finds nothing and says nothing.
#include "tests/platform_x11/x11_fixture.h"

#include "glcontext/pixel_format.h"

#include <GL/gl.h>
#include <X11/keysym.h>

#include <atomic>
#include <thread>

#include "tests/support/wait_for.h"
#include "tests/support/warm_draws.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"

namespace {

std::size_t topLevelCount(Display* display) {
    return topLevelWindows(display).size();
}

class X11WarmTest : public X11Test {
protected:
    void SetUp() override {
        X11Test::SetUp();
        resetWarmDraws();
    }
    void TearDown() override {
        coreEndWarmUp();
        X11Test::TearDown();
    }

    // A window whose creation handler sets the program's format.
    HDC glWindow(int width, int height) {
        script.onCreate = [](HWND window) {
            HDC dc = GetDC(window);
            const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
            SetPixelFormat(dc, ChoosePixelFormat(dc, &request), &request);
        };
        return GetDC(createWindow(50, 50, width, height));
    }
};

TEST_F(X11WarmTest, TheContextDrawnWithUnseenBecomesTheWindowsWithTheWindowsViewport) {
    settle();
    const std::size_t windowsBefore = topLevelCount(observer);
    coreSetWarmUp(pixelFormatRequest(), countingDraw);
    coreStartWarmUp();
    coreFinishWarmUp();
    ASSERT_EQ(warmDraws.count, 1);
    EXPECT_NE(warmDraws.thread, std::this_thread::get_id());
    void* warmed = core.warmUp.context;
    ASSERT_NE(warmed, nullptr);
    EXPECT_EQ(glXGetCurrentContext(), nullptr) << "still current on the main thread";
    settle();
    EXPECT_EQ(topLevelCount(observer), windowsBefore) << "the hidden window is left";

    HDC dc = glWindow(120, 90);
    const HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(coreContextOf(context), warmed);
    ASSERT_EQ(wglMakeCurrent(dc, context), TRUE);
    GLint viewport[4] = {};
    GLint scissor[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    EXPECT_EQ(viewport[2], 120);
    EXPECT_EQ(viewport[3], 90);
    EXPECT_EQ(scissor[2], 120);
    EXPECT_EQ(scissor[3], 90);
    // What the draw set is still the context's: the same one, not a copy.
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[1], 0.4f);
    EXPECT_EQ(wglMakeCurrent(nullptr, nullptr), TRUE);
    EXPECT_EQ(wglDeleteContext(context), TRUE);
    EXPECT_EQ(x11.errorCount, 0u);
}

TEST_F(X11WarmTest, AWindowOfAnotherFormatGetsAFreshContextAndTheReadyOneIsDeleted) {
    coreSetWarmUp(pixelFormatRequest(), countingDraw);
    coreStartWarmUp();
    coreFinishWarmUp();
    void* warmed = core.warmUp.context;
    ASSERT_NE(warmed, nullptr);
    HWND window = createWindow();
    HDC dc = GetDC(window);
    const int other = core.warmUp.format == 1 ? 2 : 1;
    ASSERT_EQ(SetPixelFormat(dc, other, nullptr), TRUE);
    // Whether or not that visual has GL, the ready context is not its.
    const HGLRC context = wglCreateContext(dc);
    EXPECT_TRUE(context == nullptr || coreContextOf(context) != warmed);
    EXPECT_EQ(core.warmUp.context, nullptr);
    if (context != nullptr) {
        wglDeleteContext(context);
    }
}

// The box answers Return at once while the draw still runs, and returns
// only once the draw is over.
TEST_F(X11WarmTest, TheBoxAnswersReturnWhileTheDrawRunsAndReturnsAfterIt) {
    coreSetWarmUp(pixelFormatRequest(), slowDraw);
    std::atomic<bool> goneDuringDraw{false};
    std::thread operatorThread([&] {
        Display* display = XOpenDisplay(server->display().c_str());
        std::optional<Window> box;
        waitFor([&] { return (box = findViewableByTitle(display, "Warming")).has_value(); },
                kPatience);
        if (box && waitFor([] { return warmDraws.started.load(); }, kPatience)) {
            movePointerInto(display, *box, 10, 10);
            ::tapKey(display, XK_Return);
            goneDuringDraw =
                waitFor([&] { return !findViewableByTitle(display, "Warming"); }, kPatience) &&
                !warmDraws.ended;
        }
        warmDraws.mayEnd = true;
        XCloseDisplay(display);
    });
    const int answer = MessageBoxA(nullptr, "text", "Warming", MB_OK);
    const bool endedBeforeReturn = warmDraws.ended;
    operatorThread.join();
    EXPECT_EQ(answer, IDOK);
    EXPECT_TRUE(warmDraws.started) << "the box did not start the warm-up";
    EXPECT_TRUE(goneDuringDraw) << "the box did not answer while the draw ran";
    EXPECT_TRUE(endedBeforeReturn) << "the box returned before the helper ended";
}

class X11WarmWithoutGlxTest : public X11WarmTest {
protected:
    static void SetUpTestSuite() { startServer("1024x768x24", {"-extension", "GLX"}); }
};

// The failure is kept for the window: no draw, no line, no X error now, and
// the window's own choice still finds nothing.
TEST_F(X11WarmWithoutGlxTest, NothingIsDrawnOrSaidAndTheWindowStillFindsNoFormat) {
    coreSetWarmUp(pixelFormatRequest(), countingDraw);
    testing::internal::CaptureStderr();
    coreStartWarmUp();
    coreFinishWarmUp();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(warmDraws.count, 0);
    EXPECT_EQ(core.warmUp.context, nullptr);
    HDC dc = GetDC(createWindow());
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    EXPECT_EQ(x11.errorCount, 0u);
}

}  // namespace
