// Windows over Xlib: synchronous creation, paint and destruction, the
// properties a window manager reads, the fixed size and the close button.
#include "tests/platform_x11/x11_fixture.h"

#include <X11/Xatom.h>

#include <utility>
#include <vector>

namespace {

using X11WindowTest = X11Test;

XWindowAttributes attributesOf(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return attributes;
}

TEST_F(X11WindowTest, CreationReachesTheProcedureBeforeCreateReturnsAndMakesTheAskedWindow) {
    Window duringCreate = 1;
    script.onCreate = [&](HWND window) { duringCreate = xOf(window); };
    HWND window = createWindow(50, 60, 300, 200);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(script.received.size(), 1u);
    EXPECT_EQ(script.received[0].message, UINT(WM_CREATE));
    EXPECT_EQ(script.received[0].window, window);
    // No pixel format was set, so the X window came only after WM_CREATE.
    EXPECT_EQ(duringCreate, Window(None));

    settle();
    const XWindowAttributes attributes = attributesOf(observer, xOf(window));
    EXPECT_EQ(attributes.x, 50);
    EXPECT_EQ(attributes.y, 60);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
}

TEST_F(X11WindowTest, UnknownClassOrFailedCreationGivesNoWindow) {
    EXPECT_EQ(
        CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    script.createResult = -1;
    EXPECT_EQ(createWindow(), nullptr);
    ASSERT_EQ(script.received.size(), 2u);
    EXPECT_EQ(script.received[1].message, UINT(WM_DESTROY));
    settle();
    EXPECT_EQ(x11WindowOf(*core.windows.back()), nullptr);  // no X part was ever made
}

TEST_F(X11WindowTest, ClassNamesAreRegisteredOnceIgnoringCase) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.lpszClassName = "OpenGL";
    EXPECT_NE(RegisterClassA(&windowClass), 0);
    windowClass.lpszClassName = "OPENGL";
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    windowClass.lpfnWndProc = nullptr;
    windowClass.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
}

TEST_F(X11WindowTest, UpdateWindowPaintsAShownWindowBeforeReturningAndOnlyOnce) {
    HWND window = createWindow();
    UpdateWindow(window);  // not shown yet: nothing to paint
    EXPECT_EQ(countReceived(WM_PAINT), 0);
    EXPECT_EQ(ShowWindow(window, SW_SHOWNORMAL), FALSE);
    UpdateWindow(window);
    EXPECT_EQ(countReceived(WM_PAINT), 1);
    UpdateWindow(window);  // validated by the procedure's default processing
    EXPECT_EQ(countReceived(WM_PAINT), 1);
    EXPECT_EQ(ShowWindow(window, SW_SHOWNORMAL), TRUE);
    settle();
    EXPECT_EQ(attributesOf(observer, xOf(window)).map_state, IsViewable);
}

TEST_F(X11WindowTest, PaintStaysQueuedUntilDefaultProcessingOrBeginPaintValidates) {
    script.validateOnPaint = false;
    HWND window = createWindow();
    ShowWindow(window, SW_SHOWNORMAL);
    settle();  // the first map's Expose is in
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_PAINT));
    EXPECT_EQ(msg.hwnd, window);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // still owed
    EXPECT_EQ(msg.message, UINT(WM_PAINT));
    DefWindowProcA(window, WM_PAINT, 0, 0);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

    XClearArea(observer, pictureOf(window), 0, 0, 0, 0, True);
    settle();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_PAINT));
    PAINTSTRUCT paint;
    EXPECT_EQ(BeginPaint(window, &paint), GetDC(window));
    EXPECT_EQ(paint.rcPaint.right, 300);
    EXPECT_EQ(paint.rcPaint.bottom, 200);
    EndPaint(window, &paint);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(X11WindowTest, AnExposeOwesAPaintThatComesAfterWaitingInput) {
    HWND window = createShownWindow();
    const int paintsBefore = countReceived(WM_PAINT);
    fakeMotion(100, 100);
    XClearArea(observer, pictureOf(window), 0, 0, 0, 0, True);  // an Expose from outside
    fakeMotion(110, 100);
    std::vector<MSG> taken;
    ASSERT_TRUE(takeUntil(taken, [](const std::vector<MSG>& t) {
        return !t.empty() && t.back().message == WM_PAINT;
    }));
    ASSERT_GE(taken.size(), 2u);
    EXPECT_EQ(taken.front().message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(taken.back().hwnd, window);
    EXPECT_EQ(countReceived(WM_PAINT), paintsBefore + 1);
}

TEST_F(X11WindowTest, DestroyWindowDeliversDestroyFirstAndThenNothingMore) {
    HWND window = createShownWindow();
    const Window xwindow = xOf(window);
    fakeMotion(120, 120);
    tapKey(XK_a);
    settle();
    MSG waiting{};
    ASSERT_TRUE(PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE));  // input queued for it
    fakeMotion(125, 125);
    settle();  // and more still in the connection
    const std::size_t before = script.received.size();
    EXPECT_EQ(DestroyWindow(window), TRUE);
    ASSERT_EQ(script.received.size(), before + 1);
    EXPECT_EQ(script.received.back().message, UINT(WM_DESTROY));

    fakeMotion(130, 130);
    XClearArea(observer, xwindow, 0, 0, 0, 0, True);
    settle();
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    msg = MSG{window, WM_CHAR, 'f', 0, 0, {}, 0};
    DispatchMessageA(&msg);
    EXPECT_EQ(script.received.size(), before + 1);
    EXPECT_EQ(DestroyWindow(window), FALSE);
    EXPECT_EQ(GetDC(window), nullptr);
    EXPECT_FALSE(isTopLevel(observer, xwindow));
}

TEST_F(X11WindowTest, ItsOwnDeviceContextNamesTheWindowFromCreationToDestruction) {
    HDC during = nullptr;
    script.onCreate = [&](HWND window) { during = GetDC(window); };
    HWND window = createWindow();
    ASSERT_NE(during, nullptr);
    EXPECT_EQ(GetDC(window), during);
    EXPECT_EQ(WindowFromDC(during), window);
    EXPECT_EQ(ReleaseDC(window, during), 1);
    EXPECT_EQ(WindowFromDC(reinterpret_cast<HDC>(window)), nullptr);  // a window is no DC
    DestroyWindow(window);
    EXPECT_EQ(WindowFromDC(during), nullptr);
}

TEST_F(X11WindowTest, ClassTitleIconAndFixedSizeAreSetForTheWindowManager) {
    HWND window = createWindow(50, 50, 300, 200);
    const Window xwindow = xOf(window);
    settle();
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(observer, xwindow, &hint));
    EXPECT_STREQ(hint.res_class, "OpenGL");
    XFree(hint.res_name);
    XFree(hint.res_class);

    EXPECT_EQ(textProperty(observer, xwindow, XA_WM_NAME, XA_STRING), " Morvane");
    const Atom utf8 = XInternAtom(observer, "UTF8_STRING", False);
    EXPECT_EQ(textProperty(observer, xwindow, XInternAtom(observer, "_NET_WM_NAME", False), utf8),
              " Morvane");

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(observer, xwindow, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_TRUE(hints.flags & PMaxSize);
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_EQ(hints.min_width, 300);
    EXPECT_EQ(hints.max_width, 300);
    EXPECT_EQ(hints.min_height, 200);
    EXPECT_EQ(hints.max_height, 200);

    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_TRUE(XGetWMProtocols(observer, xwindow, &protocols, &count));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(protocols[0], XInternAtom(observer, "WM_DELETE_WINDOW", False));
    EXPECT_EQ(protocols[1], XInternAtom(observer, "_NET_WM_PING", False));
    XFree(protocols);
}

TEST_F(X11WindowTest, TheIconPropertyCarriesTheProgramPicture) {
    HWND window = createWindow();
    settle();
    const std::vector<unsigned long> icon = cardinalProperty(
        observer, xOf(window), XInternAtom(observer, "_NET_WM_ICON", False), XA_CARDINAL);
    ASSERT_EQ(icon.size(), 2u + 32u * 32u);
    EXPECT_EQ(icon[0], 32u);
    EXPECT_EQ(icon[1], 32u);
    const IconImage& picture = x11ProgramIcon();
    ASSERT_EQ(picture.argb.size(), 32u * 32u);
    for (std::size_t i = 0; i < picture.argb.size(); ++i) {
        // Xlib hands 32-bit items back sign-extended in longs.
        ASSERT_EQ(icon[2 + i] & 0xFFFFFFFFu, picture.argb[i]) << "pixel " << i;
    }
}

TEST_F(X11WindowTest, AnIconOtherThan101IsNotLoaded) {
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(102)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST_F(X11WindowTest, ScreenMetricsAreTheXScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(99), 0);
}

TEST_F(X11WindowTest, AForcedResizeArrivesAsSizeAndSnapsBackWithOneMoreSizeOnly) {
    script.snapBackOnSize = true;
    script.snapWidth = 300;
    script.snapHeight = 200;
    HWND window = createShownWindow(50, 50, 300, 200);
    XResizeWindow(observer, xOf(window), 500, 400);  // as xdotool windowsize does
    XSync(observer, False);
    ASSERT_TRUE(pumpUntil([] { return countReceived(WM_SIZE) >= 2; }));
    settle();
    settle();
    pumpUntil([] { return true; });
    ASSERT_EQ(countReceived(WM_SIZE), 2);
    std::vector<Received> sizes;
    for (const Received& r : script.received) {
        if (r.message == WM_SIZE) {
            sizes.push_back(r);
        }
    }
    EXPECT_EQ(LOWORD(sizes[0].lParam), 500);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 400);
    EXPECT_EQ(LOWORD(sizes[1].lParam), 300);
    EXPECT_EQ(HIWORD(sizes[1].lParam), 200);
    const XWindowAttributes attributes = attributesOf(observer, xOf(window));
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(attributes.x, 50);
    EXPECT_EQ(attributes.y, 50);
}

void setWmState(Display* display, Window window, long state) {
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    const long value[2] = {state, static_cast<long>(None)};
    XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value), 2);
    XSync(display, False);
}

// As i3 and weston do when they force full screen and ignore the snap-back.
TEST_F(X11WindowTest, AForcedSizeKeepsThePictureCentredOnABlackMarginWithItsOwnCoordinates) {
    HWND window = createShownWindow(50, 50, 300, 200);
    XResizeWindow(observer, xOf(window), 500, 400);
    XSync(observer, False);
    ASSERT_TRUE(pumpUntil([] { return countReceived(WM_SIZE) >= 1; }));
    settle();
    const XWindowAttributes picture = attributesOf(observer, pictureOf(window));
    EXPECT_EQ(picture.x, 100);
    EXPECT_EQ(picture.y, 100);
    EXPECT_EQ(picture.width, 300);
    EXPECT_EQ(picture.height, 200);

    XImage* margin = XGetImage(observer, xOf(window), 10, 390, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(margin, nullptr);
    EXPECT_EQ(XGetPixel(margin, 0, 0), BlackPixel(observer, DefaultScreen(observer)));
    XDestroyImage(margin);

    takeAll();
    fakeMotion(150, 150);  // the picture's top-left pixel
    fakeMotion(70, 65);    // in the margin, up and left of it
    fakeMotion(449, 349);  // its bottom-right pixel
    fakeButton(1, true);
    fakeButton(1, false);
    std::vector<MSG> taken;
    ASSERT_TRUE(takeUntil(taken, [](const std::vector<MSG>& t) {
        return !t.empty() && t.back().message == WM_LBUTTONUP;
    }));
    std::vector<std::pair<int, int>> points;
    for (const MSG& m : taken) {
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONDOWN) {
            points.emplace_back(lParamX(m.lParam), lParamY(m.lParam));
        }
    }
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {-80, -85}, {299, 199}, {299, 199}};
    EXPECT_EQ(points, expected);
}

TEST_F(X11WindowTest, IsIconicFollowsTheMapStateAndWmStateAndEachRestoreOwesAPaint) {
    HWND window = createShownWindow();
    EXPECT_EQ(IsIconic(nullptr), FALSE);
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(window) == FALSE; })) << "mapped and normal";

    XUnmapWindow(observer, xOf(window));
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(window) == TRUE; })) << "unmapped";
    int paints = countReceived(WM_PAINT);
    XMapWindow(observer, xOf(window));
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(window) == FALSE; }));
    EXPECT_TRUE(pumpUntil([&] { return countReceived(WM_PAINT) > paints; }));

    setWmState(observer, xOf(window), IconicState);
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(window) == TRUE; })) << "minimised";
    paints = countReceived(WM_PAINT);
    setWmState(observer, xOf(window), NormalState);
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(window) == FALSE; }));
    EXPECT_TRUE(pumpUntil([&] { return countReceived(WM_PAINT) > paints; }))
        << "a restore with no Expose must still wake the loop";
}

TEST_F(X11WindowTest, AMoveIsNoSizeMessage) {
    HWND window = createShownWindow(50, 50, 300, 200);
    EXPECT_EQ(SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE), TRUE);
    settle();
    pumpUntil([] { return true; });
    EXPECT_EQ(countReceived(WM_SIZE), 0);
    const XWindowAttributes attributes = attributesOf(observer, xOf(window));
    EXPECT_EQ(attributes.x, 200);
    EXPECT_EQ(attributes.y, 150);
    EXPECT_EQ(attributes.width, 300);
}

TEST_F(X11WindowTest, TheManagersCloseButtonDestroysTheWindowThroughDefaultProcessing) {
    HWND window = createShownWindow();
    const Window xwindow = xOf(window);
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = xwindow;
    close.xclient.message_type = XInternAtom(observer, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(observer, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(observer, xwindow, False, NoEventMask, &close);
    XSync(observer, False);
    ASSERT_TRUE(pumpUntil([] { return countReceived(WM_DESTROY) == 1; }));
    EXPECT_EQ(countReceived(WM_CLOSE), 1);
    EXPECT_EQ(coreFindWindow(window), nullptr);
    settle();
    EXPECT_FALSE(isTopLevel(observer, xwindow));
}

TEST_F(X11WindowTest, AWindowDestroyedByAnotherClientStillHearsItsDestruction) {
    HWND window = createShownWindow();
    XDestroyWindow(observer, xOf(window));
    XSync(observer, False);
    ASSERT_TRUE(pumpUntil([] { return countReceived(WM_DESTROY) == 1; }));
    EXPECT_EQ(coreFindWindow(window), nullptr);
    settle();
    EXPECT_EQ(x11.errorCount, 0u);
}

}  // namespace
