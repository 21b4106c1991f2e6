// The pure maths of the spin step: the null-increment guard and keeping the
// accumulated matrix a rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "scene/rotation.h"
#include "tests/support/rotation_checks.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void copy(const float* from, float* to) {
    std::memcpy(to, from, 16 * sizeof(float));
}

// n increments of angle about axis, as the renderer forms them in float.
void spin(float* m, float angle, Vec3 axis, long n, bool correct) {
    float r[16], product[16];
    rotationMatrix(angle, axis, r);
    for (long i = 0; i < n; ++i) {
        multiplyMatrices(r, m, product);
        copy(product, m);
        if (correct) {
            ASSERT_TRUE(reorthonormalise(m));
        }
    }
}

}  // namespace

TEST(SpinGuard, NullOrInvalidIncrementsTurnNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(spinTurns(0.0f, {0.3f, 0.2f, 0.4f}));
    EXPECT_FALSE(spinTurns(-0.0f, {0.3f, 0.2f, 0.4f}));
    EXPECT_FALSE(spinTurns(2.0f, {0, 0, 0}));
    EXPECT_FALSE(spinTurns(0.0f, {0, 0, 0}));
    EXPECT_FALSE(spinTurns(2.0f, {-0.0f, 0.0f, -0.0f}));
    EXPECT_FALSE(spinTurns(nan, {0, 0, 1}));
    EXPECT_FALSE(spinTurns(inf, {0, 0, 1}));
    EXPECT_FALSE(spinTurns(2.0f, {0, nan, 1}));
    EXPECT_FALSE(spinTurns(2.0f, {inf, 0, 0}));
}

TEST(SpinGuard, RealIncrementsTurnHoweverSmall) {
    EXPECT_TRUE(spinTurns(2.0f, {0.3f, 0.2f, 0.4f}));
    EXPECT_TRUE(spinTurns(-54.52f, {0, 0.57735f, 0}));
    // Squared in float this axis would vanish; it is still a direction.
    EXPECT_TRUE(spinTurns(1e-3f, {1e-25f, 0, 0}));
}

TEST(Reorthonormalise, LeavesARotationAlmostExactly) {
    float m[16];
    rotationMatrix(37.0f, {0.3f, -0.8f, 0.1f}, m);
    float before[16];
    copy(m, before);
    ASSERT_TRUE(reorthonormalise(m));
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(m[i], before[i], 2e-7) << "element " << i;
    }
}

TEST(Reorthonormalise, RepairsAScaledAndShearedMatrix) {
    float m[16] = {1.3f, 0.1f, 0, 0, 0.2f, 0.9f, 0.05f, 0, 0, 0.3f, 1.2f, 0, 0, 0, 0, 1};
    ASSERT_TRUE(reorthonormalise(m));
    EXPECT_LT(orthonormalityError(m), 1e-7);
    // Column 0 keeps its direction; the others are rebuilt from it.
    const double length = std::sqrt(1.3 * 1.3 + 0.1 * 0.1);
    EXPECT_NEAR(m[0], 1.3 / length, 1e-7);
    EXPECT_NEAR(m[1], 0.1 / length, 1e-7);
    EXPECT_EQ(m[2], 0.0f);
    // A right-handed result: column 2 is column 0 x column 1.
    EXPECT_NEAR(m[8], m[1] * m[6] - m[2] * m[5], 1e-6);
    EXPECT_NEAR(m[9], m[2] * m[4] - m[0] * m[6], 1e-6);
    EXPECT_NEAR(m[10], m[0] * m[5] - m[1] * m[4], 1e-6);
    EXPECT_EQ(m[15], 1.0f);
}

TEST(Reorthonormalise, RefusesDegenerateOrInvalidMatrices) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float zeroColumn[16] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float parallel[16] = {1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float withNan[16] = {1, 0, 0, 0, 0, nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (const float* bad : {zeroColumn, parallel, withNan}) {
        float m[16];
        copy(bad, m);
        EXPECT_FALSE(reorthonormalise(m));
        EXPECT_EQ(std::memcmp(m, bad, sizeof(m)), 0) << "left untouched";
    }
}

TEST(Reorthonormalise, OrthonormalityErrorSeesLengthAndAngle) {
    EXPECT_EQ(orthonormalityError(kIdentity), 0.0);
    float longer[16];
    copy(kIdentity, longer);
    longer[5] = 1.001f;
    EXPECT_NEAR(orthonormalityError(longer), 1e-3, 1e-6);
    float skewed[16];
    copy(kIdentity, skewed);
    skewed[4] = 0.01f;  // column 1 leans towards column 0
    EXPECT_NEAR(orthonormalityError(skewed), 0.01, 1e-6);
}

TEST(RotationMatrix, MatchesTheRightHandRule) {
    float m[16];
    rotationMatrix(90.0f, {0, 0, 2}, m);  // the axis need not be unit length
    // x goes to y, y to -x.
    EXPECT_NEAR(m[0], 0, 1e-7);
    EXPECT_NEAR(m[1], 1, 1e-7);
    EXPECT_NEAR(m[4], -1, 1e-7);
    EXPECT_NEAR(m[5], 0, 1e-7);
    EXPECT_NEAR(m[10], 1, 1e-7);
}

TEST(Soak, MillionCorrectedIncrementsStayARotation) {
    const float angles[] = {2.0f, 54.52f, 0.37f};
    for (float angle : angles) {
        SCOPED_TRACE(angle);
        float m[16];
        copy(kIdentity, m);
        spin(m, angle, {0.3f, 0.2f, 0.4f}, 1000000, true);
        EXPECT_LT(orthonormalityError(m), 1e-5);
    }
}

TEST(Soak, UncorrectedProductDriftsWhichIsWhatTheCorrectionIsFor) {
    // Shows the soak above can fail: the plain float product of the same
    // increments leaves the rotations measurably.
    float m[16];
    copy(kIdentity, m);
    spin(m, 2.0f, {0.3f, 0.2f, 0.4f}, 1000000, false);
    EXPECT_GT(orthonormalityError(m), 1e-3);
}
