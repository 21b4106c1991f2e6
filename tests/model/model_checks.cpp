#include "tests/model/model_checks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>

namespace morvane::modeltest {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

std::int64_t micro(float v) {
    return std::llround(static_cast<double>(v) * 1e6);
}

namespace {

struct MicroPoint {
    std::int64_t x, y, z;
};

MicroPoint microPoint(const Vec3& v) {
    return {micro(v.x), micro(v.y), micro(v.z)};
}

bool sameVec(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool isZero(const Vec3& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// The checks below other than the range check index the tables, so they
// refuse to look at a model whose indices would take them outside.
bool indicesInRange(const SurfaceModel& m) {
    if (m.triangleCount < 0 || m.vertexCount < 0 || m.normalCount < 0) {
        return false;
    }
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        for (int c = 0; c < 3; ++c) {
            const std::int32_t v = m.triangles[i].vertexIndex[c];
            const std::int32_t n = m.triangles[i].normalIndex[c];
            if (v < 0 || v >= m.vertexCount || n < 0 || n >= m.normalCount) {
                return false;
            }
        }
    }
    return true;
}

AssertionResult outOfRange() {
    return AssertionFailure() << "indices out of range";
}

const Vec3& corner(const SurfaceModel& m, std::int32_t record, int c) {
    return m.vertices[m.triangles[record].vertexIndex[c]];
}

const Vec3& normalOf(const SurfaceModel& m, std::int32_t record) {
    return m.normals[m.triangles[record].normalIndex[0]];
}

// (c1 - c0) x (c2 - c0) from the stored corners, exact in millionths.
MicroPoint storedCross(const SurfaceModel& m, std::int32_t record) {
    const MicroPoint a = microPoint(corner(m, record, 0));
    const MicroPoint b = microPoint(corner(m, record, 1));
    const MicroPoint c = microPoint(corner(m, record, 2));
    const MicroPoint u{b.x - a.x, b.y - a.y, b.z - a.z};
    const MicroPoint v{c.x - a.x, c.y - a.y, c.z - a.z};
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

bool hasArea(const SurfaceModel& m, std::int32_t record) {
    const MicroPoint c = storedCross(m, record);
    return c.x != 0 || c.y != 0 || c.z != 0;
}

}  // namespace

AssertionResult checkUnsharedCorners(const SurfaceModel& m) {
    if (m.triangleCount < 0 || static_cast<std::int64_t>(m.vertexCount) != 3LL * m.triangleCount) {
        return AssertionFailure() << "vertexCount " << m.vertexCount << " is not 3 x triangleCount "
                                  << m.triangleCount;
    }
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (m.triangles[i].vertexIndex[c] != 3 * i + c) {
                return AssertionFailure() << "record " << i << " corner " << c << " uses vertex "
                                          << m.triangles[i].vertexIndex[c];
            }
        }
    }
    return AssertionSuccess();
}

AssertionResult checkFlatShading(const SurfaceModel& m) {
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        const auto& n = m.triangles[i].normalIndex;
        if (n[0] != n[1] || n[1] != n[2]) {
            return AssertionFailure()
                   << "record " << i << " has normals " << n[0] << ", " << n[1] << ", " << n[2];
        }
    }
    return AssertionSuccess();
}

AssertionResult checkIndexRanges(const SurfaceModel& m) {
    if (!indicesInRange(m)) {
        return outOfRange();
    }
    std::vector<bool> used(static_cast<std::size_t>(m.normalCount), false);
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        for (int c = 0; c < 3; ++c) {
            used[static_cast<std::size_t>(m.triangles[i].normalIndex[c])] = true;
        }
    }
    for (std::int32_t n = 0; n < m.normalCount; ++n) {
        if (!used[static_cast<std::size_t>(n)]) {
            return AssertionFailure() << "normal entry " << n << " is not used";
        }
    }
    return AssertionSuccess();
}

AssertionResult checkNoTextureCoordinates(const SurfaceModel& m) {
    if (m.texCoords != nullptr || m.texCoordCount != 0) {
        return AssertionFailure() << "the model has a texture-coordinate table";
    }
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (m.triangles[i].texCoordIndex[c] != -1) {
                return AssertionFailure() << "record " << i << " texture slot " << c << " holds "
                                          << m.triangles[i].texCoordIndex[c];
            }
        }
    }
    return AssertionSuccess();
}

AssertionResult checkNormalTable(const SurfaceModel& m) {
    if (!indicesInRange(m)) {
        return outOfRange();
    }
    if (m.normalCount < 2 || !isZero(m.normals[1])) {
        return AssertionFailure() << "entry 1 is not the zero vector";
    }
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t>> seen;
    for (std::int32_t n = 0; n < m.normalCount; ++n) {
        const MicroPoint p = microPoint(m.normals[n]);
        if (!seen.insert({p.x, p.y, p.z}).second) {
            return AssertionFailure() << "normal entry " << n << " repeats an earlier entry";
        }
        if (n == 1) {
            continue;
        }
        const Vec3& v = m.normals[n];
        const double len =
            std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                      static_cast<double>(v.z) * v.z);
        if (std::fabs(len - 1.0) > 1e-6) {
            return AssertionFailure() << "normal entry " << n << " has length " << len;
        }
    }
    std::int32_t next = 0;
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        const std::int32_t n = m.triangles[i].normalIndex[0];
        if (n > next) {
            return AssertionFailure()
                   << "record " << i << " uses entry " << n << " before entry " << next;
        }
        if (n == next) {
            ++next;
        }
    }
    return AssertionSuccess();
}

AssertionResult checkWindingAndArea(const SurfaceModel& m) {
    if (!indicesInRange(m)) {
        return outOfRange();
    }
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        const Vec3& n = normalOf(m, i);
        const bool area = hasArea(m, i);
        if (isZero(n) != !area) {
            return AssertionFailure()
                   << "record " << i << (area ? " encloses" : " has no")
                   << " area but its normal is " << (isZero(n) ? "" : "not ") << "zero";
        }
        if (!area) {
            continue;
        }
        const MicroPoint c = storedCross(m, i);
        const double facing = static_cast<double>(n.x) * static_cast<double>(c.x) +
                              static_cast<double>(n.y) * static_cast<double>(c.y) +
                              static_cast<double>(n.z) * static_cast<double>(c.z);
        if (!(facing > 0.0)) {
            return AssertionFailure() << "record " << i << " runs clockwise seen from its normal";
        }
    }
    return AssertionSuccess();
}

AssertionResult checkGroupsOfFour(const SurfaceModel& m) {
    if (!indicesInRange(m)) {
        return outOfRange();
    }
    if (m.triangleCount % 4 != 0) {
        return AssertionFailure() << "triangleCount " << m.triangleCount
                                  << " is not a multiple of 4";
    }
    for (std::int32_t g = 0; g < m.triangleCount; g += 4) {
        const Vec3& n = normalOf(m, g);
        if (isZero(n)) {
            for (std::int32_t r = g; r < g + 4; ++r) {
                if (!isZero(normalOf(m, r)) || hasArea(m, r)) {
                    return AssertionFailure()
                           << "group at " << g << " has no area but record " << r << " does";
                }
            }
            continue;
        }
        const Vec3& p = corner(m, g, 0);
        const Vec3& q = corner(m, g, 1);
        const Vec3& r = corner(m, g, 2);
        const Vec3 minusN{-n.x, -n.y, -n.z};
        const bool edge1 = sameVec(corner(m, g + 1, 0), p) && sameVec(corner(m, g + 1, 1), r) &&
                           sameVec(corner(m, g + 1, 2), p) && isZero(normalOf(m, g + 1));
        const bool back = sameVec(corner(m, g + 2, 0), r) && sameVec(corner(m, g + 2, 1), q) &&
                          sameVec(corner(m, g + 2, 2), p) && sameVec(normalOf(m, g + 2), minusN);
        const bool edge3 = sameVec(corner(m, g + 3, 0), p) && sameVec(corner(m, g + 3, 1), r) &&
                           sameVec(corner(m, g + 3, 2), p) && isZero(normalOf(m, g + 3));
        if (!edge1 || !back || !edge3) {
            return AssertionFailure() << "group at record " << g << " breaks the pattern in record "
                                      << g + (!edge1  ? 1
                                              : !back ? 2
                                                      : 3);
        }
    }
    return AssertionSuccess();
}

namespace {

// Is v exactly the float nearest to the six-decimal value it rounds to?
bool nearestToSixDecimals(float v) {
    const std::int64_t q = micro(v);
    const std::int64_t a = q < 0 ? -q : q;
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%06lld", q < 0 ? "-" : "",
                  static_cast<long long>(a / 1000000), static_cast<long long>(a % 1000000));
    return std::bit_cast<std::uint32_t>(std::strtof(text, nullptr)) ==
           std::bit_cast<std::uint32_t>(v);
}

AssertionResult checkFloats(const Vec3* table, std::int32_t count, const char* name) {
    for (std::int32_t i = 0; i < count; ++i) {
        const float f[3] = {table[i].x, table[i].y, table[i].z};
        for (int c = 0; c < 3; ++c) {
            if (f[c] == 0.0f && std::signbit(f[c])) {
                return AssertionFailure() << name << " entry " << i << " holds a negative zero";
            }
            if (!nearestToSixDecimals(f[c])) {
                return AssertionFailure() << name << " entry " << i << " holds " << f[c]
                                          << ", not the float nearest to six decimals";
            }
        }
    }
    return AssertionSuccess();
}

}  // namespace

AssertionResult checkSixDecimalFloats(const SurfaceModel& m) {
    if (AssertionResult r = checkFloats(m.vertices, m.vertexCount, "vertex"); !r) {
        return r;
    }
    return checkFloats(m.normals, m.normalCount, "normal");
}

AssertionResult checkNormalsMatchPositions(const SurfaceModel& m) {
    if (!indicesInRange(m)) {
        return outOfRange();
    }
    double worst = 0.0;
    for (std::int32_t i = 0; i < m.triangleCount; ++i) {
        const Vec3& n = normalOf(m, i);
        if (isZero(n)) {
            continue;
        }
        const Vec3& a = corner(m, i, 0);
        const Vec3& b = corner(m, i, 1);
        const Vec3& c = corner(m, i, 2);
        const double u[3] = {double{b.x} - a.x, double{b.y} - a.y, double{b.z} - a.z};
        const double v[3] = {double{c.x} - a.x, double{c.y} - a.y, double{c.z} - a.z};
        const double x[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                             u[0] * v[1] - u[1] * v[0]};
        const double len = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
        if (len == 0.0) {
            return AssertionFailure() << "record " << i << " has a normal but no area";
        }
        const double d[3] = {std::fabs(x[0] / len - n.x), std::fabs(x[1] / len - n.y),
                             std::fabs(x[2] / len - n.z)};
        for (double e : d) {
            if (e > 1.3e-4) {
                return AssertionFailure() << "record " << i << "'s normal is " << e
                                          << " from the one its corners give";
            }
            worst = std::max(worst, e);
        }
    }
    return AssertionSuccess() << "largest difference " << worst;
}

AssertionResult checkBounds(const SurfaceModel& m) {
    if (m.vertexCount <= 0) {
        return AssertionFailure() << "no positions";
    }
    const std::int64_t lo[3] = {-587773, -571429, -571429};
    const std::int64_t hi[3] = {877346, 1428571, 1016345};
    std::int64_t min[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
    std::int64_t max[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
    for (std::int32_t i = 0; i < m.vertexCount; ++i) {
        const std::int64_t p[3] = {micro(m.vertices[i].x), micro(m.vertices[i].y),
                                   micro(m.vertices[i].z)};
        for (int a = 0; a < 3; ++a) {
            min[a] = std::min(min[a], p[a]);
            max[a] = std::max(max[a], p[a]);
        }
    }
    const char* axis = "xyz";
    for (int a = 0; a < 3; ++a) {
        if (min[a] != lo[a] || max[a] != hi[a]) {
            return AssertionFailure() << axis[a] << " spans [" << min[a] << ", " << max[a]
                                      << "] millionths, not [" << lo[a] << ", " << hi[a] << "]";
        }
    }
    return AssertionSuccess();
}

ModelCopy::ModelCopy(const SurfaceModel& m)
    : triangles(m.triangles, m.triangles + m.triangleCount),
      vertices(m.vertices, m.vertices + m.vertexCount),
      normals(m.normals, m.normals + m.normalCount),
      header(m) {}

SurfaceModel ModelCopy::model() const {
    SurfaceModel m = header;
    m.triangles = triangles.data();
    m.triangleCount = static_cast<std::int32_t>(triangles.size());
    m.vertices = vertices.data();
    m.vertexCount = static_cast<std::int32_t>(vertices.size());
    m.normals = normals.data();
    m.normalCount = static_cast<std::int32_t>(normals.size());
    return m;
}

}  // namespace morvane::modeltest
