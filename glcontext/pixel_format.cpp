#include "glcontext/pixel_format.h"

#include <cstddef>
#include <cstdlib>

#include "app/viewer_state.h"

namespace {

[[noreturn]] void failWithBox(HDC deviceContext, const char* text) {
    MessageBoxA(WindowFromDC(deviceContext), text, "Error", MB_ICONERROR | MB_OK);
    std::exit(1);
}

bool needsPalette(const PIXELFORMATDESCRIPTOR& format) {
    return (format.dwFlags & PFD_NEED_PALETTE) != 0 || format.iPixelType == PFD_TYPE_COLORINDEX;
}

// One channel of entry index: its bits scaled to 0..255. A channel without
// bits is 0; a shift past the index's bits leaves nothing to take.
BYTE rampChannel(unsigned index, unsigned bits, unsigned shift) {
    if (bits == 0) {
        return 0;
    }
    const unsigned mask = (1u << bits) - 1u;
    const unsigned value = shift < 8u ? (index >> shift) & mask : 0u;
    return static_cast<BYTE>(value * 255u / mask);
}

}  // namespace

void choosePixelFormat(HDC deviceContext) {
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    const int format = ChoosePixelFormat(deviceContext, &request);
    if (format == 0) {
        failWithBox(deviceContext, "ChoosePixelFormat failed\n");
    }
    if (SetPixelFormat(deviceContext, format, &request) == FALSE) {
        failWithBox(deviceContext, "SetPixelFormat failed");
    }
}

// Palettes hold at most 256 entries on the displays that need them, and the
// ramp only means something for 1 to 8 index bits with each channel no wider
// than the index. Any other layout gets no palette; neither does one with no
// colour bits at all, whose ramp would be all black. A single channel without
// bits is filled with 0.
int paletteEntryCount(const PIXELFORMATDESCRIPTOR& format) {
    const unsigned bits = format.cColorBits;
    if (bits == 0 || bits > 8) {
        return 0;
    }
    if (format.cRedBits > bits || format.cGreenBits > bits || format.cBlueBits > bits) {
        return 0;
    }
    if (format.cRedBits + format.cGreenBits + format.cBlueBits == 0) {
        return 0;
    }
    return 1 << bits;
}

void paletteRamp(const PIXELFORMATDESCRIPTOR& format, PALETTEENTRY* entries) {
    const int count = paletteEntryCount(format);
    for (int i = 0; i < count; ++i) {
        const unsigned index = static_cast<unsigned>(i);
        entries[i].peRed = rampChannel(index, format.cRedBits, format.cRedShift);
        entries[i].peGreen = rampChannel(index, format.cGreenBits, format.cGreenShift);
        entries[i].peBlue = rampChannel(index, format.cBlueBits, format.cBlueShift);
        entries[i].peFlags = 0;
    }
}

void setupPalette(HDC deviceContext) {
    PIXELFORMATDESCRIPTOR format{};
    DescribePixelFormat(deviceContext, GetPixelFormat(deviceContext), sizeof(format), &format);
    if (!needsPalette(format)) {
        return;
    }
    const int count = paletteEntryCount(format);
    if (count == 0) {
        return;
    }
    // LOGPALETTE declares one entry and is followed by the others.
    const std::size_t bytes = sizeof(LOGPALETTE) + (count - 1) * sizeof(PALETTEENTRY);
    auto* buffer = static_cast<LOGPALETTE*>(std::malloc(bytes));
    if (buffer == nullptr) {
        return;
    }
    buffer->palVersion = 0x300;
    buffer->palNumEntries = static_cast<WORD>(count);
    paletteRamp(format, buffer->palPalEntry);
    viewer.palette = CreatePalette(buffer);
    std::free(buffer);
    if (viewer.palette != nullptr) {
        SelectPalette(deviceContext, viewer.palette, FALSE);
        RealizePalette(deviceContext);
    }
}
