// A whole message box drawn into pixels: face, sign, text and OK button.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog/dialog_text.h"

enum class DialogSign { none, information, error };

// The box's colours, shared with layers that draw it by other means.
inline constexpr std::uint32_t kDialogFace = dialogRgb(236, 236, 236);
inline constexpr std::uint32_t kDialogPressed = dialogRgb(180, 180, 180);
inline constexpr std::uint32_t kDialogInk = dialogRgb(0, 0, 0);
inline constexpr std::uint32_t kDialogOutline = dialogRgb(64, 64, 64);
inline constexpr std::uint32_t kDialogErrorRed = dialogRgb(210, 30, 30);
inline constexpr std::uint32_t kDialogInformationBlue = dialogRgb(30, 90, 200);
inline constexpr std::uint32_t kDialogWhite = dialogRgb(255, 255, 255);

struct DialogContent {
    DialogLayout layout;
    std::vector<std::string> lines;
    DialogSign sign = DialogSign::none;
    bool hardEdges = false;  // no antialiased shades (see DialogPixels)
};

// Without a font (null) the box has no text, the button no label.
DialogPixels renderDialog(const DialogContent& content, const DialogFont* font, bool buttonHeld);
// Only the button, pressed or not, over a picture renderDialog made.
void renderDialogButton(DialogPixels& pixels, const DialogContent& content, const DialogFont* font,
                        bool held);
