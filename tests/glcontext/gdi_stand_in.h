// A stand-in for the GDI calls of choosePixelFormat and setupPalette: it
// answers as the test sets it up and records what it was given.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct GdiStandIn {
    // Answers.
    int chosenFormat = 7;
    BOOL setFormatResult = TRUE;
    PIXELFORMATDESCRIPTOR describedFormat{};
    bool paletteCreationSucceeds = true;

    // Records, in call order.
    std::vector<std::string> calls;
    PIXELFORMATDESCRIPTOR chooseRequest{};
    PIXELFORMATDESCRIPTOR setRequest{};
    int setFormatIndex = 0;
    int describedIndex = 0;
    UINT describeBytes = 0;
    WORD paletteVersion = 0;
    std::vector<PALETTEENTRY> paletteEntries;
    HPALETTE selectedPalette = nullptr;
    BOOL selectForcedBackground = TRUE;
};

extern GdiStandIn gdi;

inline HDC const kTestDeviceContext = reinterpret_cast<HDC>(0x2000);
inline HWND const kTestWindow = reinterpret_cast<HWND>(0x1000);
inline HPALETTE const kTestPalette = reinterpret_cast<HPALETTE>(0x4000);
inline constexpr int kTestFormatIndex = 7;
