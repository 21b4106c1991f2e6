// The real program getting its GL context ready while the notice is up: it
// draws in a window of its own that is never mapped and is gone before OK,
// the notice still answers at once, and nothing of it is left on the X
// server once the viewer's window is open. The server's own count of the
// program's resources (X-Resource) is the witness.

// gtest before Xlib, whose None and Bool macros break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <cstdlib>
#include <map>
#include <string>

#include "app/shell.h"
#include "tests/e2e/frame_analysis.h"
#include "tests/e2e/viewer_session.h"
#include "tests/support/picture_waits.h"
#include "tests/support/screenshot.h"
#include "tests/support/shader_cache.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_windows.h"

using namespace std::chrono_literals;

namespace {

// What the server holds for one client, by resource type name.
using Resources = std::map<std::string, long>;

// The client that made this window, from the server's list of clients.
std::optional<XID> clientBaseOf(Display* display, Window window) {
    int count = 0;
    XResClient* clients = nullptr;
    if (XResQueryClients(display, &count, &clients) == 0) {
        return std::nullopt;
    }
    std::optional<XID> base;
    for (int i = 0; i < count; ++i) {
        if ((window & ~clients[i].resource_mask) == clients[i].resource_base) {
            base = clients[i].resource_base;
        }
    }
    XFree(clients);
    return base;
}

Resources resourcesOf(Display* display, XID clientBase) {
    int count = 0;
    XResType* types = nullptr;
    Resources held;
    if (XResQueryClientResources(display, clientBase, &count, &types) == 0) {
        return held;
    }
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(display, types[i].resource_type);
        held[name != nullptr ? name : "?"] = types[i].count;
        XFree(name);
    }
    XFree(types);
    return held;
}

long countOf(const Resources& held, const std::string& type) {
    const auto found = held.find(type);
    return found != held.end() ? found->second : 0;
}

std::string describe(const Resources& held) {
    std::string text;
    for (const auto& [type, count] : held) {
        text += type + "=" + std::to_string(count) + " ";
    }
    return text;
}

// The program's top-level windows that are not mapped: only the warm-up's.
std::vector<Window> unmappedWindowsOf(Display* display, XID clientBase, Window notice) {
    std::vector<Window> found;
    for (Window w : topLevelWindows(display)) {
        const auto geometry = windowGeometry(display, w);
        if (w != notice && clientBaseOf(display, w) == clientBase && geometry &&
            !geometry->viewable) {
            found.push_back(w);
        }
    }
    return found;
}

class WarmUpEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.connected());
        ASSERT_TRUE(session.launch({cache.variable()}));
        const auto box = session.waitForBox(kNoticeCaption);
        ASSERT_TRUE(box);
        notice = *box;
        const auto base = clientBaseOf(session.display(), notice);
        ASSERT_TRUE(base);
        client = *base;
    }

    // The warm-up's window while it draws, or nothing by the deadline.
    std::optional<Window> waitForHiddenWindow() {
        return waitForValue(
            [&]() -> std::optional<Window> {
                const auto hidden = unmappedWindowsOf(session.display(), client, notice);
                return hidden.empty() ? std::nullopt : std::optional<Window>(hidden.front());
            },
            kLongWait, 1ms);
    }

    EmptyShaderCache cache;
    ViewerSession session;
    Window notice = None;
    XID client = 0;
};

TEST_F(WarmUpEndToEnd, ItDrawsUnseenAndLeavesTheNoticesResourcesAsTheyWereBeforeOk) {
    const Resources withNoticeOnly = resourcesOf(session.display(), client);
    const auto hidden = waitForHiddenWindow();
    ASSERT_TRUE(hidden) << "no unmapped window of the program while the notice is up";
    EXPECT_FALSE(windowGeometry(session.display(), *hidden).value_or(WindowGeometry{}).viewable);

    // Gone again while the notice still waits for the user.
    EXPECT_TRUE(waitFor(
        [&] { return unmappedWindowsOf(session.display(), client, notice).empty(); }, kLongWait));
    // Left: the notice, one window on the default colormap, drawn straight
    // from the program's memory. (The first look may already have caught
    // the warm-up, so it is no baseline.) The driver frees its GC for a
    // drawable only when the context is next bound, so GCs are counted once
    // the window has it.
    const Resources afterWarmUp = resourcesOf(session.display(), client);
    EXPECT_EQ(countOf(afterWarmUp, "WINDOW"), 1) << describe(afterWarmUp);
    EXPECT_EQ(countOf(afterWarmUp, "COLORMAP"), 0) << describe(afterWarmUp);
    EXPECT_EQ(countOf(afterWarmUp, "PIXMAP"), 0) << describe(afterWarmUp);
    EXPECT_TRUE(findViewableByTitle(session.display(), kNoticeCaption));
    EXPECT_FALSE(session.mainWindow());

    session.dismissWithReturn(notice);
    const auto main = session.waitForMainWindow();
    ASSERT_TRUE(main);
    // The window and its picture child, one colormap of their own at most,
    // and one GL context, the warm-up's: nothing else of the warm-up or of
    // the notice is left (the notice's GC makes room for the driver's).
    const Resources withWindow = resourcesOf(session.display(), client);
    EXPECT_EQ(countOf(withWindow, "WINDOW"), 2) << describe(withWindow);
    EXPECT_LE(countOf(withWindow, "COLORMAP"), 1) << describe(withWindow);
    EXPECT_EQ(countOf(withWindow, "GLXContext"), 1) << describe(withWindow);
    EXPECT_LE(countOf(withWindow, "GC"), countOf(withNoticeOnly, "GC")) << describe(withWindow);
    EXPECT_EQ(countOf(withWindow, "PIXMAP"), 0) << describe(withWindow);
    session.expectQuietEndOnEscape(*main);
}

// Return as soon as the notice shows, while the warm-up compiles: the notice
// goes, the window follows with the lit model, and the model turns.
TEST_F(WarmUpEndToEnd, ReturnAtOnceDuringTheWarmUpStillOpensTheViewer) {
    ASSERT_TRUE(waitForHiddenWindow());
    session.dismissWithReturn(notice);
    EXPECT_TRUE(
        waitFor([&] { return !findViewableByTitle(session.display(), kNoticeCaption); }, kLongWait))
        << "the notice did not answer Return while the warm-up ran";
    const auto main = session.waitForMainWindow();
    ASSERT_TRUE(main);
    const auto shot = [&] { return captureWindow(session.display(), *main).value_or(RgbImage{}); };
    const auto first = waitForPicture(
        shot, [](const RgbImage& now) { return hasBackground(now, kPlainBackground); }, kLongWait,
        5ms);
    ASSERT_TRUE(first) << "no picture in the window";
    // The model fills much of the window: a context that kept the viewport
    // of the small drawable it warmed up in would draw it in a corner.
    const int lit = countSet(modelMask(*first, kPlainBackground));
    EXPECT_GT(lit, first->width * first->height / 20) << session.keep(*first, "warm-first");
    EXPECT_TRUE(waitForPicture(
        shot, [&](const RgbImage& now) { return now != *first; }, kLongWait, 5ms))
        << "the model does not turn";
    session.expectQuietEndOnEscape(*main);
}

// The window manager's close box answers the notice like OK, as it always
// did, also while the warm-up runs; the window opens and works.
TEST_F(WarmUpEndToEnd, TheCloseBoxDuringTheWarmUpAnswersLikeOk) {
    ASSERT_TRUE(waitForHiddenWindow());
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = notice;
    close.xclient.message_type = XInternAtom(session.display(), "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] =
        static_cast<long>(XInternAtom(session.display(), "WM_DELETE_WINDOW", False));
    XSendEvent(session.display(), notice, False, NoEventMask, &close);
    XSync(session.display(), False);
    const auto main = session.waitForMainWindow();
    ASSERT_TRUE(main) << "no window after the close box";
    EXPECT_EQ(countOf(resourcesOf(session.display(), client), "WINDOW"), 2);
    session.expectQuietEndOnEscape(*main);
}

}  // namespace
