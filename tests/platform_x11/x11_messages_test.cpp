// The message queue over a real X server: the non-removing peek, the quit
// message, the sleeping wait, key translation and the mouse with capture.
#include "tests/platform_x11/x11_fixture.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

using X11MessagesTest = X11Test;

std::vector<MSG> only(const std::vector<MSG>& messages, std::initializer_list<UINT> kinds) {
    std::vector<MSG> kept;
    for (const MSG& m : messages) {
        if (std::find(kinds.begin(), kinds.end(), m.message) != kinds.end()) {
            kept.push_back(m);
        }
    }
    return kept;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

TEST_F(X11MessagesTest, TheQuitMessageIsSeenWithoutRemovalThenEndsTheWaitWithItsCode) {
    PostQuitMessage(3);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(3));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(X11MessagesTest, PeekLooksWithoutRemovingAndKeepsTheOrder) {
    HWND window = createShownWindow();
    fakeMotion(100, 100);
    fakeMotion(101, 100);
    settle();
    MSG first{};
    ASSERT_TRUE(PeekMessageA(&first, nullptr, 0, 0, PM_NOREMOVE));
    MSG again{};
    ASSERT_TRUE(PeekMessageA(&again, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(first.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(again.lParam, first.lParam);
    MSG taken{};
    ASSERT_TRUE(PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(taken.lParam, first.lParam);
    EXPECT_EQ(taken.hwnd, window);
    ASSERT_TRUE(PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(lParamX(taken.lParam), 51);
    EXPECT_FALSE(PeekMessageA(&taken, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(X11MessagesTest, EventsThatMeanNothingDoNotLookLikeWaitingMessages) {
    HWND window = createShownWindow();
    // A move (same size) and a right click translate to nothing.
    XMoveWindow(observer, xOf(window), 60, 70);
    fakeMotion(100, 100);
    settle();
    takeAll();
    fakeButton(3, true);
    fakeButton(3, false);
    XMoveWindow(observer, xOf(window), 50, 50);
    settle();
    // An animating loop peeks once per frame; it must get to draw.
    int frames = 0;
    MSG msg{};
    while (frames < 50 && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        ++frames;
    }
    EXPECT_EQ(frames, 50);
    EXPECT_EQ(XEventsQueued(x11.display, QueuedAlready), 0) << "the peek drained the connection";
}

TEST_F(X11MessagesTest, GetMessageSleepsWithoutUsingTheProcessor) {
    HWND window = createShownWindow();
    fakeMotion(100, 100);
    settle();
    takeAll();
    // Another client presses a key after a while; until then the wait idles.
    const std::string display = server->display();
    const auto wallStart = std::chrono::steady_clock::now();
    std::thread presser([display] {
        Display* other = XOpenDisplay(display.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_q), True, CurrentTime);
        XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_q), False, CurrentTime);
        XSync(other, False);
        XCloseDisplay(other);
    });
    const double cpuStart = threadCpuSeconds();
    MSG msg{};
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    presser.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(msg.hwnd, window);
    std::printf("GetMessageA waited %.3f s of wall time using %.6f s of CPU\n", wall, cpu);
    EXPECT_GT(wall, 0.2);
    EXPECT_LT(cpu, wall / 10);  // a busy wait would use about all of it
}

TEST_F(X11MessagesTest, GetMessageFailsWithoutAPlaceToStoreOrForAWindowThatIsGone) {
    HWND window = createWindow();
    DestroyWindow(window);
    MSG msg{};
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
}

TEST_F(X11MessagesTest, KeyPressesTranslateToCharactersThatComeNext) {
    createShownWindow();
    fakeMotion(100, 100);  // focus follows the pointer without a window manager
    settle();
    takeAll();
    tapKey(XK_Escape);
    tapKey(XK_a);
    fakeKey(XK_Shift_L, true);
    tapKey(XK_a);
    fakeKey(XK_Shift_L, false);
    tapKey(XK_F);  // keysym for the same key, no shift held: lower case
    std::vector<MSG> taken;
    ASSERT_TRUE(takeUntil(
        taken, [](const std::vector<MSG>& t) { return only(t, {WM_KEYUP}).size() >= 5; }, true));
    const std::vector<MSG> keys = only(taken, {WM_KEYDOWN, WM_CHAR, WM_KEYUP});
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, 0x1B}, {WM_CHAR, 27},   {WM_KEYUP, 0x1B},   {WM_KEYDOWN, 'A'},
        {WM_CHAR, 'a'},     {WM_KEYUP, 'A'}, {WM_KEYDOWN, 0x10}, {WM_KEYDOWN, 'A'},
        {WM_CHAR, 'A'},     {WM_KEYUP, 'A'}, {WM_KEYUP, 0x10},   {WM_KEYDOWN, 'F'},
        {WM_CHAR, 'f'},     {WM_KEYUP, 'F'}};
    ASSERT_EQ(keys.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(keys[i].message, expected[i].first) << "message " << i;
        EXPECT_EQ(keys[i].wParam, expected[i].second) << "message " << i;
    }
}

TEST_F(X11MessagesTest, OnlyKeyPressesTranslate) {
    HWND window = createShownWindow();
    MSG move{window, WM_MOUSEMOVE, 0, 0, 0, {}, 0};
    EXPECT_FALSE(TranslateMessage(&move));
    MSG noKey{window, WM_KEYDOWN, 0, 0, 0, {}, 0};
    EXPECT_FALSE(TranslateMessage(&noKey));
    EXPECT_FALSE(TranslateMessage(nullptr));
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(X11MessagesTest, MouseMessagesCarryEveryMoveInClientCoordinates) {
    createShownWindow(50, 50, 300, 200);
    fakeMotion(60, 60);
    settle();
    takeAll();
    fakeMotion(150, 120);
    fakeMotion(151, 121);
    fakeMotion(153, 122);
    fakeButton(1, true);
    fakeButton(1, false);
    std::vector<MSG> taken;
    ASSERT_TRUE(takeUntil(
        taken, [](const std::vector<MSG>& t) { return !only(t, {WM_LBUTTONUP}).empty(); }));
    const std::vector<MSG> mouse = only(taken, {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_EQ(mouse.size(), 5u);
    const int expected[][3] = {{WM_MOUSEMOVE, 100, 70},
                               {WM_MOUSEMOVE, 101, 71},
                               {WM_MOUSEMOVE, 103, 72},
                               {WM_LBUTTONDOWN, 103, 72},
                               {WM_LBUTTONUP, 103, 72}};
    for (std::size_t i = 0; i < mouse.size(); ++i) {
        EXPECT_EQ(mouse[i].message, UINT(expected[i][0])) << i;
        EXPECT_EQ(lParamX(mouse[i].lParam), expected[i][1]) << i;
        EXPECT_EQ(lParamY(mouse[i].lParam), expected[i][2]) << i;
    }
    EXPECT_EQ(mouse[3].wParam, WPARAM(1));  // MK_LBUTTON
}

TEST_F(X11MessagesTest, CaptureKeepsMessagesComingOutsideWithNegativeCoordinates) {
    HWND window = createShownWindow(50, 50, 300, 200);
    fakeMotion(150, 120);
    fakeButton(1, true);
    settle();
    takeAll();
    SetCapture(window);
    fakeMotion(20, 30);    // left of and above the window
    fakeMotion(600, 500);  // right of and below it
    fakeButton(1, false);  // released outside
    std::vector<MSG> taken;
    ASSERT_TRUE(takeUntil(
        taken, [](const std::vector<MSG>& t) { return !only(t, {WM_LBUTTONUP}).empty(); }));
    const std::vector<MSG> mouse = only(taken, {WM_MOUSEMOVE, WM_LBUTTONUP});
    ASSERT_EQ(mouse.size(), 3u);
    EXPECT_EQ(lParamX(mouse[0].lParam), -30);
    EXPECT_EQ(lParamY(mouse[0].lParam), -20);
    EXPECT_EQ(lParamX(mouse[1].lParam), 550);
    EXPECT_EQ(lParamY(mouse[1].lParam), 450);
    EXPECT_EQ(mouse[2].message, UINT(WM_LBUTTONUP));
    EXPECT_EQ(lParamX(mouse[2].lParam), 550);

    // Still captured after the release, until ReleaseCapture.
    fakeMotion(10, 10);
    taken.clear();
    ASSERT_TRUE(takeUntil(taken, [](const std::vector<MSG>& t) { return !t.empty(); }));
    EXPECT_EQ(lParamX(taken[0].lParam), -40);
    ReleaseCapture();
    settle();  // the ungrab reaches the server before the next motion
    fakeMotion(20, 20);
    fakeMotion(700, 700);
    settle();
    EXPECT_TRUE(takeAll().empty());
}

TEST_F(X11MessagesTest, MessagesAreFilteredByWindowAndRange) {
    HWND first = createShownWindow(50, 50, 100, 100);
    HWND second = createShownWindow(400, 50, 100, 100);
    fakeMotion(420, 60);
    settle();
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, first, 0, 0, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, second, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, second);
    EXPECT_EQ(lParamX(msg.lParam), 20);
}

}  // namespace
