// Real input through the XTest extension: the server treats these events
// exactly like a person's keyboard and mouse. With no window manager, focus
// follows the pointer, so move the pointer into a window before typing.
#pragma once

#include <X11/Xlib.h>

bool hasXTest(Display* display);

// Positions in root coordinates, or in a window's own coordinates.
void movePointer(Display* display, int rootX, int rootY);
void movePointerInto(Display* display, Window window, int x, int y);

void pressButton(Display* display, unsigned int button = 1);
void releaseButton(Display* display, unsigned int button = 1);
void clickAt(Display* display, Window window, int x, int y);

// Press and release of the key that yields this keysym (XK_Return, XK_f...).
void tapKey(Display* display, KeySym key);
// The key tapped while a modifier is held (XK_Super_L, XK_Tab...).
void tapKeyWith(Display* display, KeySym modifier, KeySym key);
// The same in two halves, to hold a key down (a modifier for a pointer
// binding, or a key left to repeat).
void pressKey(Display* display, KeySym key);
void releaseKey(Display* display, KeySym key);

// Sends without waiting for the server (for event storms); the other calls
// wait until the server has processed their events.
void movePointerNoSync(Display* display, int rootX, int rootY);
