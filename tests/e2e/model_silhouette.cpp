#include "tests/e2e/model_silhouette.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/surface_model.h"

namespace {

struct Point {
    double x, y;
};

double edge(Point a, Point b, Point p) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

// Window coordinates with y down, as in a screenshot.
Point project(const Rotation& r, const Vec3& v, int width, int height) {
    const double ex = r.m[0][0] * v.x + r.m[0][1] * v.y + r.m[0][2] * v.z;
    const double ey = r.m[1][0] * v.x + r.m[1][1] * v.y + r.m[1][2] * v.z;
    return {(ex / 1.5 + 1.0) * width / 2.0, (1.0 - ey / 1.5) * height / 2.0};
}

// Covers the pixels whose centres lie inside the triangle, either winding.
void fillTriangle(Point a, Point b, Point c, int width, int height, PixelMask& mask) {
    const double area = edge(a, b, c);
    if (area == 0.0) {
        return;
    }
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    const double sign = area > 0 ? 1.0 : -1.0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const Point p{x + 0.5, y + 0.5};
            if (sign * edge(a, b, p) >= 0 && sign * edge(b, c, p) >= 0 &&
                sign * edge(c, a, p) >= 0) {
                mask[static_cast<size_t>(y) * width + x] = 1;
            }
        }
    }
}

}  // namespace

Rotation rotationAbout(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    Rotation r;
    if (length == 0.0) {
        return r;
    }
    x /= length;
    y /= length;
    z /= length;
    const double radians = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    r.m[0][0] = x * x * t + c;
    r.m[0][1] = x * y * t - z * s;
    r.m[0][2] = x * z * t + y * s;
    r.m[1][0] = y * x * t + z * s;
    r.m[1][1] = y * y * t + c;
    r.m[1][2] = y * z * t - x * s;
    r.m[2][0] = z * x * t - y * s;
    r.m[2][1] = z * y * t + x * s;
    r.m[2][2] = z * z * t + c;
    return r;
}

Rotation operator*(const Rotation& a, const Rotation& b) {
    Rotation r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        }
    }
    return r;
}

PixelMask modelSilhouette(const Rotation& rotation, int width, int height) {
    PixelMask mask(static_cast<size_t>(width) * height, 0);
    const SurfaceModel& model = builtinModel;
    for (int i = 0; i < model.triangleCount; ++i) {
        const TriangleRecord& t = model.triangles[i];
        fillTriangle(project(rotation, model.vertices[t.vertexIndex[0]], width, height),
                     project(rotation, model.vertices[t.vertexIndex[1]], width, height),
                     project(rotation, model.vertices[t.vertexIndex[2]], width, height), width,
                     height, mask);
    }
    return mask;
}
