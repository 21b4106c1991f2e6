// The warm-up over EGL on weston, in the test's own process: the context
// drawn with on the helper thread on a surface nobody sees, every protocol
// object of that surface gone again and none of it committed, the context
// handed to the window with the window's viewport, and a box that answers
// Return while the draw runs. weston runs on a private Xvfb, whose XTest
// keys reach the box through weston's seat. libwayland logs the protocol
// (WAYLAND_DEBUG) so that the helper's requests can be read back.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "platform/wayland/wayland_layer.h"

#include <GL/gl.h>
#include <stdlib.h>

#include <atomic>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "glcontext/pixel_format.h"
#include "tests/support/screenshot.h"
#include "tests/support/wait_for.h"
#include "tests/support/warm_draws.h"
#include "tests/support/weston_server.h"
#include "tests/support/x_connection.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"
#include "tests/wayland/viewer_area.h"

namespace {

using namespace std::chrono_literals;

LRESULT CALLBACK glProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        HDC dc = GetDC(window);
        const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
        SetPixelFormat(dc, ChoosePixelFormat(dc, &request), &request);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Requests sent in a protocol log, by what they do to objects of the
// interfaces the warm-up's drawable is made of.
struct ProtocolCounts {
    std::map<std::string, int> made;
    std::map<std::string, int> destroyed;
    int shown = 0;  // attach or commit on any surface
};

ProtocolCounts countRequests(const std::string& log) {
    static const std::regex made(R"(-> .*new id (wl_surface|wl_buffer|wl_shm_pool)@)");
    static const std::regex destroyed(R"(-> (wl_surface|wl_buffer|wl_shm_pool)@\d+\.destroy\()");
    static const std::regex shown(R"(-> wl_surface@\d+\.(attach|commit)\()");
    ProtocolCounts counts;
    std::istringstream lines(log);
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, match, made)) {
            ++counts.made[match[1]];
        } else if (std::regex_search(line, match, destroyed)) {
            ++counts.destroyed[match[1]];
        } else if (std::regex_search(line, shown)) {
            ++counts.shown;
        }
    }
    return counts;
}

class WaylandWarmTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        xvfb = std::make_unique<XvfbServer>("1024x768x24");
        weston = std::make_unique<WestonServer>(xvfb->display(), 1000, 700);
        for (const std::string& entry : weston->clientEnvironment()) {
            putenv(strdup(entry.c_str()));  // the environment keeps the string
        }
        setenv("WAYLAND_DEBUG", "client", 1);  // read once, at the connection
    }
    static void TearDownTestSuite() {
        weston.reset();
        xvfb.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(weston->running());
        const PlatformBackend* const waylandOnly[] = {&waylandBackend};
        ASSERT_EQ(coreConnect(waylandOnly), "");
        resetWarmDraws();
    }

    // The connection stays for the process; windows and contexts go.
    void TearDown() override {
        coreEndWarmUp();
        wglMakeCurrent(nullptr, nullptr);
        for (const auto& record : core.windows) {
            if (record->alive) {
                DestroyWindow(coreHandle(*record));
            }
        }
        for (std::size_t i = 0; i < core.contexts.size(); ++i) {
            if (core.contexts[i] != nullptr) {
                eglDestroyContext(wl.egl, core.contexts[i]);
            }
        }
        coreReset();
    }

    static HDC glWindow(int width, int height) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = glProcedure;
        windowClass.lpszClassName = "OpenGL";
        RegisterClassA(&windowClass);  // fails harmlessly the second time
        HWND window = CreateWindowExA(0, "OpenGL", " Morvane", WS_OVERLAPPEDWINDOW, 50, 50, width,
                                      height, nullptr, nullptr, nullptr, nullptr);
        return GetDC(window);
    }

    // The warm-up from start to end; what libwayland logged meanwhile.
    static std::string warmUpLogged(void (*draw)()) {
        coreSetWarmUp(pixelFormatRequest(), draw);
        testing::internal::CaptureStderr();
        coreStartWarmUp();
        coreFinishWarmUp();
        return testing::internal::GetCapturedStderr();
    }

    static inline std::unique_ptr<XvfbServer> xvfb;
    static inline std::unique_ptr<WestonServer> weston;
};

TEST_F(WaylandWarmTest, TheDrawnContextLeavesNothingShownOrKeptAndBecomesTheWindows) {
    const ProtocolCounts counts = countRequests(warmUpLogged(countingDraw));
    ASSERT_EQ(warmDraws.count, 1);
    EXPECT_NE(warmDraws.thread, std::this_thread::get_id());
    void* warmed = core.warmUp.context;
    ASSERT_NE(warmed, nullptr);
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT) << "current on the main thread";
    // One surface, and whatever buffers EGL gave it, all destroyed; nothing
    // of it ever reached the screen.
    EXPECT_EQ(counts.made.count("wl_surface") != 0 ? counts.made.at("wl_surface") : 0, 1);
    EXPECT_EQ(counts.made, counts.destroyed);
    EXPECT_EQ(counts.shown, 0);

    HDC dc = glWindow(120, 90);
    const HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(coreContextOf(context), warmed);
    ASSERT_EQ(wglMakeCurrent(dc, context), TRUE);
    const WaylandWindow* window = waylandWindowOf(*coreWindowFromDc(dc));
    ASSERT_NE(window, nullptr);
    GLint viewport[4] = {};
    GLint scissor[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    EXPECT_EQ(viewport[2], window->drawWidth);
    EXPECT_EQ(viewport[3], window->drawHeight);
    EXPECT_EQ(scissor[2], window->drawWidth);
    EXPECT_EQ(scissor[3], window->drawHeight);
    // What the draw set is still the context's: the same one, not a copy.
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[1], 0.4f);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    EXPECT_EQ(wglMakeCurrent(nullptr, nullptr), TRUE);
    EXPECT_EQ(wglDeleteContext(context), TRUE);
}

TEST_F(WaylandWarmTest, AWindowOfAnotherFormatGetsAFreshContextAndTheReadyOneIsDeleted) {
    warmUpLogged(countingDraw);
    void* warmed = core.warmUp.context;
    ASSERT_NE(warmed, nullptr);
    ASSERT_GE(wl.configs.size(), 2u);
    // A window that sets the other format itself, past the procedure's choice.
    WNDCLASSA plain{};
    plain.lpfnWndProc = DefWindowProcA;
    plain.lpszClassName = "Plain";
    RegisterClassA(&plain);  // fails harmlessly the second time
    HWND window = CreateWindowExA(0, "Plain", "other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    HDC otherDc = GetDC(window);
    const int other = core.warmUp.format == 1 ? 2 : 1;
    ASSERT_EQ(SetPixelFormat(otherDc, other, nullptr), TRUE);
    const HGLRC context = wglCreateContext(otherDc);
    ASSERT_NE(context, nullptr);
    EXPECT_NE(coreContextOf(context), warmed);
    EXPECT_EQ(core.warmUp.context, nullptr);
    // Made on the main thread, which binds desktop GL for itself.
    ASSERT_EQ(wglMakeCurrent(otherDc, context), TRUE);
    EXPECT_EQ(eglQueryAPI(), static_cast<EGLenum>(EGL_OPENGL_API));
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
}

// The box answers Return at once while the draw still runs, and returns
// only once the draw is over.
TEST_F(WaylandWarmTest, TheBoxAnswersReturnWhileTheDrawRunsAndReturnsAfterIt) {
    coreSetWarmUp(pixelFormatRequest(), slowDraw);
    std::atomic<bool> shown{false};
    std::atomic<bool> goneDuringDraw{false};
    std::thread operatorThread([&] {
        XConnection x(xvfb->display());
        const auto faces = [&] {
            const auto root = captureWindow(x.get(), DefaultRootWindow(x.get()));
            return root ? countNear(*root, kBoxFace) : 0;
        };
        shown = waitFor([&] { return faces() >= 5000; }, 20s, 20ms);
        if (shown && waitFor([] { return warmDraws.started.load(); }, 20s)) {
            tapKey(x.get(), XK_Return);
            goneDuringDraw = waitFor([&] { return faces() < 1000; }, 20s, 20ms) && !warmDraws.ended;
        }
        warmDraws.mayEnd = true;
    });
    testing::internal::CaptureStderr();  // the protocol log
    const int answer = MessageBoxA(nullptr, "text", "Warming", MB_OK);
    const bool endedBeforeReturn = warmDraws.ended;
    testing::internal::GetCapturedStderr();
    operatorThread.join();
    EXPECT_EQ(answer, IDOK);
    EXPECT_TRUE(shown) << "the box was not seen";
    EXPECT_TRUE(warmDraws.started) << "the box did not start the warm-up";
    EXPECT_TRUE(goneDuringDraw) << "the box did not answer while the draw ran";
    EXPECT_TRUE(endedBeforeReturn) << "the box returned before the helper ended";
}

}  // namespace
