#include "model/generator/tubes.h"

#include <cmath>

namespace morvane::modelgen {

namespace {

struct Line {
    Vec3d centre[3];  // start, midpoint, end
    Vec3d d;          // direction
    Vec3d u;          // ring axis, at angle 0
};

Line line(int index) {
    const double h = std::sqrt(0.5);  // 1/sqrt(2)
    switch (index) {
        case 0:
            return {{{-4.0 / 7, 0.0, -3.0 / 7}, {1.0 / 7, 0.0, 2.0 / 7}, {6.0 / 7, 0.0, 1.0}},
                    {h, 0.0, h},
                    {h, 0.0, -h}};
        case 1:
            return {{{0.0, -4.0 / 7, 2.0 / 7}, {0.0, 3.0 / 7, 2.0 / 7}, {0.0, 10.0 / 7, 2.0 / 7}},
                    {0.0, 1.0, 0.0},
                    {1.0, 0.0, 0.0}};
        default:
            return {{{-4.0 / 7, 0.0, 0.0}, {1.0 / 7, 0.0, 0.0}, {6.0 / 7, 0.0, 0.0}},
                    {1.0, 0.0, 0.0},
                    {0.0, 0.0, 1.0}};
    }
}

}  // namespace

Vec3d ringVertex(int lineIndex, int ring, int k) {
    const Line l = line(lineIndex);
    const Vec3d w = cross(l.d, l.u);
    // 72k degrees converted as written, with kRingPi, and not reduced by a
    // turn: 2 * kRingPi is not a turn.
    const double angle = 72.0 * (k % 5) * kRingPi / 180.0;
    const double c = seriesCos(angle);
    const double s = seriesSin(angle);
    const Vec3d o = l.centre[ring];
    return {o.x + kTubeRadius * (c * l.u.x + s * w.x), o.y + kTubeRadius * (c * l.u.y + s * w.y),
            o.z + kTubeRadius * (c * l.u.z + s * w.z)};
}

std::vector<SourceTriangle> tubeTriangles() {
    std::vector<SourceTriangle> out;
    const int segments[2][2] = {{1, 2}, {0, 1}};  // (from ring, to ring)
    for (int lineIndex = 0; lineIndex < 3; ++lineIndex) {
        for (const auto& seg : segments) {
            for (int k = 0; k < 5; ++k) {
                const Vec3d s0 = ringVertex(lineIndex, seg[0], k);
                const Vec3d s1 = ringVertex(lineIndex, seg[0], k + 1);
                const Vec3d e0 = ringVertex(lineIndex, seg[1], k);
                const Vec3d e1 = ringVertex(lineIndex, seg[1], k + 1);
                const Vec3d tris[2][3] = {{s0, e1, e0}, {s1, e1, s0}};
                for (const auto& t : tris) {
                    SourceTriangle st;
                    for (int c = 0; c < 3; ++c) {
                        st.corner[c] = roundToMicro(t[c]);
                    }
                    st.normal = unit(cross(sub(t[1], t[0]), sub(t[2], t[0])));
                    out.push_back(st);
                }
            }
        }
    }
    return out;
}

}  // namespace morvane::modelgen
