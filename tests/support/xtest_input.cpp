#include "tests/support/xtest_input.h"

#include <X11/extensions/XTest.h>

bool hasXTest(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
}

void movePointerNoSync(Display* display, int rootX, int rootY) {
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
    XFlush(display);
}

void movePointer(Display* display, int rootX, int rootY) {
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
    XSync(display, False);
}

void movePointerInto(Display* display, Window window, int x, int y) {
    int rootX = 0;
    int rootY = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    movePointer(display, rootX, rootY);
}

void pressButton(Display* display, unsigned int button) {
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XSync(display, False);
}

void releaseButton(Display* display, unsigned int button) {
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
}

void clickAt(Display* display, Window window, int x, int y) {
    movePointerInto(display, window, x, y);
    pressButton(display);
    releaseButton(display);
}

void tapKey(Display* display, KeySym key) {
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

void pressKey(Display* display, KeySym key) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XSync(display, False);
}

void releaseKey(Display* display, KeySym key) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    XSync(display, False);
}

void tapKeyWith(Display* display, KeySym modifier, KeySym key) {
    pressKey(display, modifier);
    tapKey(display, key);
    releaseKey(display, modifier);
}
