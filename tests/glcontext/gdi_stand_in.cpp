#include "tests/glcontext/gdi_stand_in.h"

#include <cstdio>

GdiStandIn gdi;

HWND WindowFromDC(HDC dc) {
    return dc == kTestDeviceContext ? kTestWindow : nullptr;
}

int ChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR* request) {
    gdi.calls.push_back("ChoosePixelFormat");
    gdi.chooseRequest = *request;
    return gdi.chosenFormat;
}

BOOL SetPixelFormat(HDC, int format, const PIXELFORMATDESCRIPTOR* request) {
    gdi.calls.push_back("SetPixelFormat");
    gdi.setFormatIndex = format;
    gdi.setRequest = *request;
    return gdi.setFormatResult;
}

int GetPixelFormat(HDC) {
    gdi.calls.push_back("GetPixelFormat");
    return kTestFormatIndex;
}

int DescribePixelFormat(HDC, int format, UINT bytes, PIXELFORMATDESCRIPTOR* descriptor) {
    gdi.calls.push_back("DescribePixelFormat");
    gdi.describedIndex = format;
    gdi.describeBytes = bytes;
    *descriptor = gdi.describedFormat;
    return 1;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    gdi.calls.push_back("CreatePalette");
    gdi.paletteVersion = palette->palVersion;
    const PALETTEENTRY* entries = palette->palPalEntry;
    gdi.paletteEntries.assign(entries, entries + palette->palNumEntries);
    return gdi.paletteCreationSucceeds ? kTestPalette : nullptr;
}

HPALETTE SelectPalette(HDC, HPALETTE palette, BOOL forceBackground) {
    gdi.calls.push_back("SelectPalette");
    gdi.selectedPalette = palette;
    gdi.selectForcedBackground = forceBackground;
    return nullptr;
}

UINT RealizePalette(HDC) {
    gdi.calls.push_back("RealizePalette");
    return 0;
}

// Death tests see only what reaches stderr, so the box is printed there.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::fprintf(stderr, "box owner=%s caption=[%s] type=%u text=[%s]\n",
                 owner == kTestWindow ? "window" : "other", caption, type, text);
    return IDOK;
}
