// Small exact and double-precision helpers shared by the generator's pieces.
#pragma once

#include <cfloat>
#include <compare>
#include <cstdint>
#include <limits>

// The tables must not depend on the compiler that builds the generator: all
// arithmetic is IEEE double evaluated at double precision, or exact integers.
static_assert(std::numeric_limits<double>::is_iec559, "the generator needs IEEE doubles");
static_assert(FLT_EVAL_METHOD == 0,
              "the generator needs double arithmetic without excess precision");

namespace morvane::modelgen {

__extension__ typedef __int128 Int128;

struct Vec3d {
    double x, y, z;
};

// A stored value in millionths: what a table entry holds after rounding to
// six decimals. Integers make "equal" and "negative zero" trivial questions.
struct Micro3 {
    std::int64_t x, y, z;
    friend bool operator==(const Micro3&, const Micro3&) = default;
    friend auto operator<=>(const Micro3&, const Micro3&) = default;
};

inline constexpr std::int64_t kMicro = 1000000;

Vec3d sub(Vec3d a, Vec3d b);
Vec3d cross(Vec3d a, Vec3d b);

// Unit vector of v; the zero vector stays zero.
Vec3d unit(Vec3d v);

// Nearest millionth, ties away from zero, so that rounding -v gives exactly
// the negation of rounding v.
std::int64_t roundToMicro(double v);
Micro3 roundToMicro(Vec3d v);

// num / den rounded to the nearest integer, ties away from zero; den > 0.
std::int64_t roundDiv(std::int64_t num, std::int64_t den);

// Exact conversion of an integer direction to a unit vector in double. Large
// components are first halved together (in integers, so deterministically)
// until they convert to double without a library call.
Vec3d unitFromIntegers(Int128 x, Int128 y, Int128 z);

// cos and sin of x radians by their power series, summed in a fixed order.
// The C library's versions may differ in the last bit between platforms.
double seriesCos(double x);
double seriesSin(double x);

}  // namespace morvane::modelgen
