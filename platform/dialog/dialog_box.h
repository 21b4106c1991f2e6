// A message box's behaviour, whatever window system shows it: its layout,
// sign and picture from MessageBoxA's arguments, and its answers to the
// pointer and the keyboard. A backend shows the picture and forwards input;
// each reply says what to show again and whether the box is done.
#pragma once

#include <cstdint>

#include "platform/dialog/dialog_render.h"

// The screen the box goes on, in device pixels.
struct DialogScreen {
    double dpi = kDefaultDpi;
    int width = 0;  // 0 when unknown
    int height = 0;
    bool shades = true;  // false on colour maps: no antialiased shades
};

struct DialogBox {
    DialogContent content;
    DialogFontHandle font;  // null: the box is drawn without text
    DialogPixels pixels;
    bool buttonHeld = false;
};

enum class DialogPointer { move, press, release };  // the primary button only

struct DialogReply {
    DialogRect redraw;  // the part of the picture that changed; empty if none
    bool done = false;
    int answer = 0;  // once done
};

// What a box answers when it is closed without its button, or cannot show.
int dialogDefaultAnswer();

DialogSign dialogSignFor(unsigned type);

// The room a box may take on a screen: all of it but a frame's width.
DialogBounds dialogBoundsOn(const DialogScreen& screen);

// Laid out and drawn. Without a font it says so once on stderr and draws
// the box with its sign and button but no text.
DialogBox openDialogBox(const char* text, const char* caption, unsigned type,
                        const DialogScreen& screen);

// Positions are in the picture's pixels.
DialogReply dialogPointer(DialogBox& box, int x, int y, DialogPointer what);
// Keysyms, which X and xkbcommon number alike.
DialogReply dialogKey(DialogBox& box, std::uint32_t keysym);
// The window's close button.
DialogReply dialogClosed();
