// The finger that acts as the left button, for backends whose window
// system hands programs raw touches (Wayland).
//
// Depends on: nothing.
// Cannot: gestures, or more than one finger.
#include "platform/core.h"

namespace {

struct Finger {
    bool down = false;
    int id = 0;
    POINT last{};
};

Finger finger;

}  // namespace

TouchAsMouse coreTouchAsMouse(TouchPhase phase, int id, POINT point) {
    if (phase == TouchPhase::down) {
        if (finger.down) {
            return {};
        }
        finger = {true, id, point};
        return {WM_LBUTTONDOWN, kLeftButtonDown, point};
    }
    if (!finger.down || (phase != TouchPhase::cancel && id != finger.id)) {
        return {};
    }
    if (phase == TouchPhase::motion) {
        finger.last = point;
        return {WM_MOUSEMOVE, kLeftButtonDown, point};
    }
    finger.down = false;
    return {WM_LBUTTONUP, 0, phase == TouchPhase::cancel ? finger.last : point};
}
