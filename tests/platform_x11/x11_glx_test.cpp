// Pixel formats, GL contexts, buffer swaps and palettes over GLX, on a
// true-colour screen with GLX, one without GLX, and an 8-bit PseudoColor one.
#include "tests/platform_x11/x11_fixture.h"

#include "glcontext/pixel_format.h"

#include <GL/gl.h>

#include <cstdlib>

namespace {

XWindowAttributes attributesOf(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return attributes;
}

int visualCount(Display* display) {
    XVisualInfo pattern{};
    pattern.screen = DefaultScreen(display);
    int count = 0;
    XFree(XGetVisualInfo(display, VisualScreenMask, &pattern, &count));
    return count;
}

bool near(unsigned value, unsigned expected) {
    return value + 2 >= expected && value <= expected + 2;
}

class X11GlxTest : public X11Test {
protected:
    // A window whose creation handler chooses and sets the viewer's format.
    HWND createGlWindow(int* chosen, Window* beforeSet) {
        script.onCreate = [=, this](HWND window) {
            HDC dc = GetDC(window);
            const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
            *chosen = ChoosePixelFormat(dc, &request);
            *beforeSet = xOf(window);
            SetPixelFormat(dc, *chosen, &request);
        };
        return createWindow(50, 50, 64, 48);
    }
};

TEST_F(X11GlxTest, TheChosenFormatIsDoubleBufferedTrueColourWithADepthBuffer) {
    HWND window = createWindow();
    HDC dc = GetDC(window);
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    const int format = ChoosePixelFormat(dc, &request);
    ASSERT_GT(format, 0);
    PIXELFORMATDESCRIPTOR described{};
    const int count = DescribePixelFormat(dc, format, sizeof described, &described);
    EXPECT_EQ(count, visualCount(observer));
    EXPECT_EQ(DescribePixelFormat(dc, 0, 0, nullptr), count);
    EXPECT_EQ(described.dwFlags & (PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER),
              DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(described.dwFlags & PFD_NEED_PALETTE, 0u);
    EXPECT_EQ(described.iPixelType, PFD_TYPE_RGBA);
    EXPECT_GE(described.cDepthBits, 16);
    EXPECT_EQ(described.cColorBits, 24);
    EXPECT_EQ(described.cRedBits, 8);
    EXPECT_EQ(described.cRedShift, 16);
    EXPECT_EQ(described.cGreenShift, 8);
    EXPECT_EQ(described.cBlueShift, 0);
    EXPECT_EQ(DescribePixelFormat(dc, count + 1, sizeof described, &described), 0);
    EXPECT_EQ(ChoosePixelFormat(dc, nullptr), 0);
    EXPECT_EQ(ChoosePixelFormat(nullptr, &request), 0);
}

TEST_F(X11GlxTest, SettingTheFormatCreatesTheXWindowWithItsVisualOnce) {
    int chosen = 0;
    Window beforeSet = 1;
    HWND window = createGlWindow(&chosen, &beforeSet);
    ASSERT_NE(window, nullptr);
    ASSERT_GT(chosen, 0);
    EXPECT_EQ(beforeSet, Window(None));
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixelFormat(dc), chosen);
    settle();
    const XWindowAttributes attributes = attributesOf(observer, xOf(window));
    EXPECT_EQ(XVisualIDFromVisual(attributes.visual), x11Visuals()[chosen - 1].visualid);
    EXPECT_EQ(attributes.width, 64);
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    EXPECT_EQ(SetPixelFormat(dc, chosen, &request), TRUE);
    const int other = chosen == 1 ? 2 : 1;
    EXPECT_EQ(SetPixelFormat(dc, other, &request), FALSE);
    EXPECT_EQ(GetPixelFormat(dc), chosen);
    EXPECT_EQ(SetPixelFormat(dc, 100000, &request), FALSE);
}

TEST_F(X11GlxTest, AContextDrawsIntoTheBackBufferAndTheSwapShowsIt) {
    int chosen = 0;
    Window beforeSet = None;
    HWND window = createGlWindow(&chosen, &beforeSet);
    ShowWindow(window, SW_SHOWNORMAL);
    HDC dc = GetDC(window);
    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_EQ(wglMakeCurrent(dc, context), TRUE);
    ASSERT_NE(glGetString(GL_VERSION), nullptr);

    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_TRUE(near(pixel[0], 51) && near(pixel[1], 102) && near(pixel[2], 153))
        << int(pixel[0]) << "," << int(pixel[1]) << "," << int(pixel[2]);
    EXPECT_EQ(SwapBuffers(dc), TRUE);
    glFinish();
    settle();

    XImage* image = XGetImage(observer, xOf(window), 0, 0, 64, 48, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    const unsigned long shown = XGetPixel(image, 32, 24);
    XDestroyImage(image);
    EXPECT_TRUE(near((shown >> 16) & 0xff, 51) && near((shown >> 8) & 0xff, 102) &&
                near(shown & 0xff, 153))
        << std::hex << shown;

    EXPECT_EQ(wglMakeCurrent(nullptr, nullptr), TRUE);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_EQ(wglDeleteContext(context), TRUE);
    EXPECT_EQ(wglDeleteContext(context), FALSE);
    EXPECT_EQ(x11.errorCount, 0u);
}

TEST_F(X11GlxTest, AWindowWithoutAFormatGetsNoContextAndNoSwap) {
    HWND window = createWindow();
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixelFormat(dc), 0);
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    EXPECT_EQ(SwapBuffers(dc), FALSE);
    EXPECT_EQ(wglMakeCurrent(dc, reinterpret_cast<HGLRC>(window)), FALSE);
}

TEST_F(X11GlxTest, DestroyingTheWindowLeavesNoContextOnADeadDrawable) {
    int chosen = 0;
    Window beforeSet = None;
    HWND window = createGlWindow(&chosen, &beforeSet);
    HDC dc = GetDC(window);
    HGLRC context = wglCreateContext(dc);
    ASSERT_EQ(wglMakeCurrent(dc, context), TRUE);
    DestroyWindow(window);
    EXPECT_EQ(glXGetCurrentDrawable(), GLXDrawable(None));
    EXPECT_EQ(SwapBuffers(dc), FALSE);
    EXPECT_EQ(wglDeleteContext(context), TRUE);
    settle();
    EXPECT_EQ(x11.errorCount, 0u);
}

TEST_F(X11GlxTest, PalettesAreHarmlessOnTrueColour) {
    int chosen = 0;
    Window beforeSet = None;
    HWND window = createGlWindow(&chosen, &beforeSet);
    HDC dc = GetDC(window);
    LOGPALETTE logical{0x300, 1, {{255, 0, 0, 0}}};
    HPALETTE palette = CreatePalette(&logical);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(SelectPalette(dc, palette, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_EQ(UnrealizeObject(reinterpret_cast<HGDIOBJ>(palette)), TRUE);
    EXPECT_EQ(UnrealizeObject(reinterpret_cast<HGDIOBJ>(window)), FALSE);
    LOGPALETTE empty{0x300, 0, {}};
    EXPECT_EQ(CreatePalette(&empty), nullptr);
    EXPECT_EQ(CreatePalette(nullptr), nullptr);
}

class X11NoGlxTest : public X11Test {
protected:
    static void SetUpTestSuite() { startServer("1024x768x24", {"-extension", "GLX"}); }
};

TEST_F(X11NoGlxTest, NoFormatCanBeChosenButTheScreenIsStillMeasured) {
    HWND window = createWindow();
    HDC dc = GetDC(window);
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    PIXELFORMATDESCRIPTOR described{};
    ASSERT_GT(DescribePixelFormat(dc, 1, sizeof described, &described), 0);
    EXPECT_EQ(described.dwFlags & PFD_SUPPORT_OPENGL, 0u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

class X11PseudoColorTest : public X11Test {
protected:
    static void SetUpTestSuite() { startServer("1024x768x8", {}); }
};

int pseudoColorFormat(HDC dc) {
    const int count = DescribePixelFormat(dc, 0, 0, nullptr);
    for (int format = 1; format <= count; ++format) {
        PIXELFORMATDESCRIPTOR described{};
        DescribePixelFormat(dc, format, sizeof described, &described);
        if ((described.dwFlags & PFD_NEED_PALETTE) != 0) {
            return format;
        }
    }
    return 0;
}

TEST_F(X11PseudoColorTest, APaletteIsStoredIntoTheWindowsOwnColormap) {
    HWND window = createWindow();
    HDC dc = GetDC(window);
    const int format = pseudoColorFormat(dc);
    ASSERT_GT(format, 0);
    PIXELFORMATDESCRIPTOR described{};
    DescribePixelFormat(dc, format, sizeof described, &described);
    EXPECT_EQ(described.iPixelType, PFD_TYPE_COLORINDEX);
    EXPECT_EQ(described.cColorBits, 8);
    ASSERT_EQ(SetPixelFormat(dc, format, nullptr), TRUE);

    // A 3-3-2 ramp, built here independently of the program's own.
    std::vector<unsigned char> storage(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
        logical->palPalEntry[i] = {static_cast<BYTE>((i & 7) * 255 / 7),
                                   static_cast<BYTE>(((i >> 3) & 7) * 255 / 7),
                                   static_cast<BYTE>(((i >> 6) & 3) * 255 / 3), 0};
    }
    HPALETTE palette = CreatePalette(logical);
    EXPECT_EQ(SelectPalette(dc, palette, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(dc), 256u);
    settle();

    const XWindowAttributes attributes = attributesOf(observer, xOf(window));
    EXPECT_NE(attributes.colormap, DefaultColormap(observer, DefaultScreen(observer)));
    std::vector<XColor> colours(256);
    for (int i = 0; i < 256; ++i) {
        colours[i].pixel = static_cast<unsigned long>(i);
    }
    XQueryColors(observer, attributes.colormap, colours.data(), 256);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = logical->palPalEntry[i];
        ASSERT_EQ(colours[i].red, entry.peRed * 257) << "entry " << i;
        ASSERT_EQ(colours[i].green, entry.peGreen * 257) << "entry " << i;
        ASSERT_EQ(colours[i].blue, entry.peBlue * 257) << "entry " << i;
    }
    EXPECT_EQ(x11.errorCount, 0u);
}

TEST_F(X11PseudoColorTest, NoGlMeansNoChosenFormat) {
    HWND window = createWindow();
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    EXPECT_EQ(ChoosePixelFormat(GetDC(window), &request), 0);
}

}  // namespace
