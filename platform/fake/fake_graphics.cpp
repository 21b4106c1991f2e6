// The fake's device context, pixel formats, palettes, buffer swap and GL
// contexts. Depends on fake_controls.cpp for the state record. It draws
// nothing: the formats and the success of each step are whatever the test
// set, and a context is only a handle.
#include "platform/fake/fake_platform.h"

HDC GetDC(HWND window) {
    fakeLog("GetDC", window);
    return window == kFakeWindow && fake.windowExists ? kFakeDeviceContext : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    fakeLog("ReleaseDC", window, dc);
    return dc == kFakeDeviceContext ? 1 : 0;
}

HWND WindowFromDC(HDC dc) {
    fakeLog("WindowFromDC", dc);
    return dc == kFakeDeviceContext && fake.windowExists ? kFakeWindow : nullptr;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    fakeLog("ChoosePixelFormat", dc);
    fake.pixelFormatRequest = *request;
    return fake.choosePixelFormatResult;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    fakeLog("SetPixelFormat", dc, format);
    if (fake.setPixelFormatResult) {
        fake.setFormat = format;
    }
    return fake.setPixelFormatResult;
}

int GetPixelFormat(HDC dc) {
    fakeLog("GetPixelFormat", dc);
    return fake.setFormat;
}

// Answers with the one format the test set, for any valid index; the result
// is the number of formats, one.
int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* descriptor) {
    fakeLog("DescribePixelFormat", dc, format, bytes);
    if (format < 1) {
        return 0;
    }
    if (descriptor != nullptr && bytes >= sizeof(PIXELFORMATDESCRIPTOR)) {
        *descriptor = fake.pixelFormat;
    }
    return 1;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    fakeLog("CreatePalette", palette->palVersion, palette->palNumEntries);
    fake.paletteEntries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return fake.paletteCreationSucceeds ? kFakePalette : nullptr;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    fakeLog("SelectPalette", dc, palette, forceBackground);
    return nullptr;
}

UINT RealizePalette(HDC dc) {
    fakeLog("RealizePalette", dc);
    return static_cast<UINT>(fake.paletteEntries.size());
}

BOOL UnrealizeObject(HGDIOBJ object) {
    fakeLog("UnrealizeObject", object);
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    fakeLog("SwapBuffers", dc);
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    fakeLog("wglCreateContext", dc);
    return fake.contextCreationSucceeds && dc == kFakeDeviceContext ? kFakeRenderContext : nullptr;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    fakeLog("wglMakeCurrent", dc, context);
    fake.currentContext = context;
    return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
    fakeLog("wglDeleteContext", context);
    if (fake.currentContext == context) {
        fake.currentContext = nullptr;
    }
    return context == kFakeRenderContext ? TRUE : FALSE;
}
