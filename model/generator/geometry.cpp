#include "model/generator/geometry.h"

#include <cmath>
#include <cstdlib>

namespace morvane::modelgen {

Vec3d sub(Vec3d a, Vec3d b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3d cross(Vec3d a, Vec3d b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3d unit(Vec3d v) {
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len == 0.0) {
        return {0.0, 0.0, 0.0};
    }
    return {v.x / len, v.y / len, v.z / len};
}

std::int64_t roundToMicro(double v) {
    // std::round is exact and rounds halves away from zero on every platform.
    return static_cast<std::int64_t>(std::round(v * 1e6));
}

Micro3 roundToMicro(Vec3d v) {
    return {roundToMicro(v.x), roundToMicro(v.y), roundToMicro(v.z)};
}

std::int64_t roundDiv(std::int64_t num, std::int64_t den) {
    if (num >= 0) {
        return (2 * num + den) / (2 * den);
    }
    return -((-2 * num + den) / (2 * den));
}

namespace {

Int128 absolute(Int128 v) {
    return v < 0 ? -v : v;
}

}  // namespace

Vec3d unitFromIntegers(Int128 x, Int128 y, Int128 z) {
    const Int128 limit = Int128{1} << 52;
    while (absolute(x) >= limit || absolute(y) >= limit || absolute(z) >= limit) {
        x /= 2;
        y /= 2;
        z /= 2;
    }
    // Below 2^52 each component is exactly a double.
    return unit({static_cast<double>(static_cast<std::int64_t>(x)),
                 static_cast<double>(static_cast<std::int64_t>(y)),
                 static_cast<double>(static_cast<std::int64_t>(z))});
}

double seriesCos(double x) {
    const double x2 = x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 2; n <= 60; n += 2) {
        term = -term * x2 / (static_cast<double>(n - 1) * static_cast<double>(n));
        sum += term;
    }
    return sum;
}

double seriesSin(double x) {
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 3; n <= 61; n += 2) {
        term = -term * x2 / (static_cast<double>(n - 1) * static_cast<double>(n));
        sum += term;
    }
    return sum;
}

}  // namespace morvane::modelgen
