// Pixel formats, palettes, the OpenGL binding and buffer swaps: the Win32
// rules (a format is set once per window; palettes are handles to colour
// tables) here, what a format is and how GL binds to it in the backend.
//
// Depends on: linux_core.h and the backend of the run.
// Cannot: layer planes.
#include <algorithm>
#include <cstring>

#include "platform/core.h"

namespace {

// Palette handles are their table index plus a base, so that they never
// collide with small window numbers passed by mistake.
constexpr std::uintptr_t kPaletteBase = 0x50000000u;

std::vector<PALETTEENTRY>* paletteOf(HPALETTE palette) {
    const auto value = reinterpret_cast<std::uintptr_t>(palette);
    if (value <= kPaletteBase || value - kPaletteBase > core.palettes.size()) {
        return nullptr;
    }
    return core.palettes[value - kPaletteBase - 1].get();
}

}  // namespace

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    if (request == nullptr || coreWindowFromDc(dc) == nullptr) {
        return 0;
    }
    const int kept = coreWarmFormat(*request);
    return kept >= 0 ? kept : core.backend->choosePixelFormat(*request);
}

// Setting the same format again succeeds, another one fails.
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    WindowRecord* record = coreWindowFromDc(dc);
    if (record == nullptr || format < 1 || format > core.backend->pixelFormatCount()) {
        return FALSE;
    }
    if (record->pixelFormat != 0) {
        return record->pixelFormat == format ? TRUE : FALSE;
    }
    if (!core.backend->createWindow(*record, format)) {
        return FALSE;
    }
    record->pixelFormat = format;
    return TRUE;
}

int GetPixelFormat(HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    return record != nullptr ? record->pixelFormat : 0;
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* descriptor) {
    if (coreWindowFromDc(dc) == nullptr) {
        return 0;
    }
    const int count = core.backend->pixelFormatCount();
    if (descriptor == nullptr) {
        return count;
    }
    PIXELFORMATDESCRIPTOR described{};
    if (format < 1 || format > count || !core.backend->describePixelFormat(format, &described)) {
        return 0;
    }
    std::memcpy(descriptor, &described, std::min<std::size_t>(bytes, sizeof described));
    return count;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (palette == nullptr || palette->palNumEntries == 0) {
        return nullptr;
    }
    const PALETTEENTRY* first = palette->palPalEntry;
    core.palettes.push_back(
        std::make_unique<std::vector<PALETTEENTRY>>(first, first + palette->palNumEntries));
    return reinterpret_cast<HPALETTE>(kPaletteBase + core.palettes.size());
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    WindowRecord* record = coreWindowFromDc(dc);
    if (record == nullptr || paletteOf(palette) == nullptr) {
        return nullptr;
    }
    const HPALETTE previous = record->selectedPalette;
    record->selectedPalette = palette;
    return previous;
}

// How many entries reached the screen: 0 where the format has no palette.
UINT RealizePalette(HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    const std::vector<PALETTEENTRY>* entries =
        record != nullptr ? paletteOf(record->selectedPalette) : nullptr;
    if (entries == nullptr || record->native == nullptr) {
        return 0;
    }
    return core.backend->realizePalette(*record, *entries);
}

BOOL UnrealizeObject(HGDIOBJ object) {
    return paletteOf(reinterpret_cast<HPALETTE>(object)) != nullptr ? TRUE : FALSE;
}

HGLRC wglCreateContext(HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    if (record == nullptr || record->pixelFormat == 0 || record->native == nullptr) {
        return nullptr;
    }
    if (HGLRC ready = coreTakeWarmContext(record->pixelFormat)) {
        return ready;
    }
    return core.backend->createContext(*record);
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    if (core.backend == nullptr) {
        return FALSE;
    }
    if (context == nullptr) {
        return core.backend->makeCurrent(nullptr, nullptr) ? TRUE : FALSE;
    }
    WindowRecord* record = coreWindowFromDc(dc);
    if (record == nullptr || record->native == nullptr) {
        return FALSE;
    }
    return core.backend->makeCurrent(record, context) ? TRUE : FALSE;
}

BOOL wglDeleteContext(HGLRC context) {
    return core.backend != nullptr && core.backend->deleteContext(context) ? TRUE : FALSE;
}

BOOL SwapBuffers(HDC dc) {
    WindowRecord* record = coreWindowFromDc(dc);
    if (record == nullptr || record->native == nullptr || record->pixelFormat == 0) {
        return FALSE;
    }
    return core.backend->swapBuffers(*record) ? TRUE : FALSE;
}
