#include "input/trackball.h"

#include <cmath>

#include "app/shell.h"
#include "app/viewer_state.h"

namespace {

constexpr float kDegreesPerUnit = 90.0f;
constexpr float kQuarterTurn = 1.5707964f;

Vec3 cross(const Vec3& u, const Vec3& v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

float distance(const Vec3& u, const Vec3& v) {
    const float dx = v.x - u.x, dy = v.y - u.y, dz = v.z - u.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

// Maps a client pixel onto a dome in front of the viewer: 1 at the centre,
// falling to 0 on the inscribed circle and everywhere outside it.
Vec3 trackballPoint(int x, int y, int width, int height) {
    const float px = static_cast<float>(2 * x - width) / static_cast<float>(width);
    const float py = static_cast<float>(height - 2 * y) / static_cast<float>(height);
    float d = std::sqrt(px * px + py * py);
    if (!(d < 1.0f)) {
        d = 1.0f;
    }
    const float pz = std::cos(d * kQuarterTurn);
    const float length = std::sqrt(px * px + py * py + pz * pz);
    return {px / length, py / length, pz / length};
}

void beginDrag(int x, int y) {
    viewer.spinEnabled = 1;
    viewer.dragging = 1;
    viewer.keepAnimating = 0;
    viewer.dragStartX = x;
    viewer.dragStartY = y;
    viewer.lastBallVector = trackballPoint(x, y, viewer.windowWidth, viewer.windowHeight);
}

void dragTo(int x, int y) {
    if (viewer.dragging == 0) {
        return;
    }
    const Vec3 v = trackballPoint(x, y, viewer.windowWidth, viewer.windowHeight);
    const Vec3 u = viewer.lastBallVector;
    viewer.spinAngle = kDegreesPerUnit * distance(u, v);
    viewer.spinAxis = cross(u, v);
    viewer.lastBallVector = v;
    requestRedraw();
}

void endDrag(int x, int y) {
    if (viewer.spinEnabled != 1) {
        return;
    }
    viewer.dragging = 0;
    if (x == viewer.dragStartX && y == viewer.dragStartY) {
        viewer.spinAngle = 0.0f;
        viewer.keepAnimating = 0;
        viewer.spinEnabled = 0;
    } else {
        viewer.keepAnimating = 1;
    }
    requestRedraw();
}
