// Vector and matrix functions and the D3DX-named helpers, against values worked out by hand from
// the documented D3DX formulas.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "MzMath.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectMatrixNear(const Matrix4x4& a, const Matrix4x4& b, float eps = 1e-5f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "m" << r << c;
}

Matrix4x4 Translation(float x, float y, float z) {
    Matrix4x4 m = MatrixIdentity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

TEST(MathTest, PerspectiveFovMatchesTheDocumentedFormula) {
    Matrix4x4 m;
    D3DXMatrixPerspectiveFovLH(&m, kPi / 3, 4.0f / 3.0f, 1.0f, 1000.0f);
    Matrix4x4 expected{
        {{1.299038f, 0, 0, 0}, {0, 1.732051f, 0, 0}, {0, 0, 1.001001f, 1}, {0, 0, -1.001001f, 0}}};
    ExpectMatrixNear(m, expected);
}

TEST(MathTest, LookAtBuildsALeftHandedView) {
    Matrix4x4 m;
    D3DXMatrixLookAtLH(&m, {0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    ExpectMatrixNear(m, Translation(0, 0, 10));

    // Looking down +x: the eye's x axis becomes -z.
    D3DXMatrixLookAtLH(&m, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    Vector3 out;
    TransformCoord3(m, &out, {1, 0, 0});
    EXPECT_NEAR(out.x, 0, 1e-6f);
    EXPECT_NEAR(out.z, 1, 1e-6f);
}

TEST(MathTest, MultiplyAppliesTheLeftMatrixFirst) {
    Matrix4x4 yaw, ab, ba;
    D3DXMatrixRotationYawPitchRoll(&yaw, kPi / 2, 0, 0);
    D3DXMatrixMultiply(&ab, Translation(1, 0, 0), yaw);
    D3DXMatrixMultiply(&ba, yaw, Translation(1, 0, 0));
    Vector3 p;
    TransformCoord3(ab, &p, {0, 0, 0}); // translate to (1,0,0), then turn
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.z, -1, 1e-6f);
    TransformCoord3(ba, &p, {0, 0, 0}); // turn the origin, then translate
    EXPECT_NEAR(p.x, 1, 1e-6f);
    EXPECT_NEAR(p.z, 0, 1e-6f);
}

TEST(MathTest, YawPitchRollRotatesRollThenPitchThenYaw) {
    struct Case {
        float yaw, pitch, roll;
        Vector3 in, out;
    } cases[] = {
        {kPi, 0, 0, {1, 0, 0}, {-1, 0, 0}},
        {kPi / 2, 0, 0, {1, 0, 0}, {0, 0, -1}},
        {0, kPi / 2, 0, {0, 1, 0}, {0, 0, 1}},
        {0, 0, kPi / 2, {1, 0, 0}, {0, 1, 0}},
        // Roll takes x to y, pitch takes y to z, yaw takes z to x.
        {kPi / 2, kPi / 2, kPi / 2, {1, 0, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        Matrix4x4 m;
        D3DXMatrixRotationYawPitchRoll(&m, c.yaw, c.pitch, c.roll);
        Vector3 out;
        TransformNormal3(m, &out, c.in);
        EXPECT_NEAR(out.x, c.out.x, 1e-6f) << c.yaw << " " << c.pitch << " " << c.roll;
        EXPECT_NEAR(out.y, c.out.y, 1e-6f) << c.yaw << " " << c.pitch << " " << c.roll;
        EXPECT_NEAR(out.z, c.out.z, 1e-6f) << c.yaw << " " << c.pitch << " " << c.roll;
    }
}

TEST(MathTest, QuaternionMatrixRoundTripAndSlerp) {
    // A quarter turn about y: (0, sin 45°, 0, cos 45°) is the yaw of π/2.
    float s = std::sqrt(0.5f);
    Quaternion q{0, s, 0, s};
    Matrix4x4 fromQ, fromYaw;
    D3DXMatrixRotationQuaternion(&fromQ, q);
    D3DXMatrixRotationYawPitchRoll(&fromYaw, kPi / 2, 0, 0);
    ExpectMatrixNear(fromQ, fromYaw);

    Quaternion back;
    D3DXQuaternionRotationMatrix(&back, fromQ);
    EXPECT_NEAR(back.y, s, 1e-6f);
    EXPECT_NEAR(back.w, s, 1e-6f);

    Quaternion half;
    D3DXQuaternionSlerp(&half, Quaternion{}, q, 0.5f);
    EXPECT_NEAR(half.y, std::sin(kPi / 8), 1e-6f);
    EXPECT_NEAR(half.w, std::cos(kPi / 8), 1e-6f);

    // The same rotation on the other hemisphere takes the short way.
    D3DXQuaternionSlerp(&half, Quaternion{}, Quaternion{0, -s, 0, -s}, 0.5f);
    EXPECT_NEAR(std::abs(half.y), std::sin(kPi / 8), 1e-6f);
    EXPECT_NEAR(std::abs(half.w), std::cos(kPi / 8), 1e-6f);
}

TEST(MathTest, InverseUndoesTheMatrix) {
    Matrix4x4 m, inv;
    D3DXMatrixRotationYawPitchRoll(&m, 0.3f, -1.1f, 2.0f);
    m = m * Translation(4, -5, 6);
    D3DXMatrixInverse(&inv, m);
    ExpectMatrixNear(m * inv, MatrixIdentity());
}

TEST(MathTest, TransformCoordDividesByWAndTakesSmallOrNegativeWAsOne) {
    struct Case {
        float m33;
        float divisor;
    } cases[] = {{2.0f, 2.0f}, {0.00005f, 1.0f}, {-2.0f, 1.0f}, {0.0001f, 0.0001f}};
    for (const Case& c : cases) {
        Matrix4x4 m = Translation(2, 4, 6);
        m.m[3][3] = c.m33;
        Vector4 out;
        TransformCoord4(m, &out, {0, 0, 0, 7}); // the input w is ignored
        EXPECT_FLOAT_EQ(out.x, 2 / c.divisor) << c.m33;
        EXPECT_FLOAT_EQ(out.z, 6 / c.divisor) << c.m33;
        EXPECT_EQ(out.w, 1.0f);
    }
}

TEST(MathTest, TransformNormalSkipsTranslationButKeepsTheDivisor) {
    Matrix4x4 m = Translation(100, 100, 100);
    m.m[0][0] = 3;
    m.m[3][3] = 2;
    Vector4 out;
    TransformNormal4(m, &out, {1, 1, 0, 0});
    EXPECT_FLOAT_EQ(out.x, 1.5f);
    EXPECT_FLOAT_EQ(out.y, 0.5f);
    EXPECT_FLOAT_EQ(out.z, 0.0f);
    EXPECT_EQ(out.w, 1.0f);
}

TEST(MathTest, NormalizeLeavesZeroVectorsAndWAlone) {
    Vector4 zero{0, 0, 0, 5};
    Vec3Normalize(&zero);
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.w, 5);
    Vector4 v{3, 0, 4, 9};
    EXPECT_FLOAT_EQ(Vec3Length(v), 5);
    Vec3Normalize(&v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);
    EXPECT_EQ(v.w, 9);
}

TEST(MathTest, EmptyBoxMergesToTheOther) {
    BoundingBox empty, box{{-1, 2, -3, 1}, {4, 5, 6, 1}}, out;
    EXPECT_EQ(empty.min.x, 3.4028235e38f);
    EXPECT_EQ(empty.max.x, -3.4028235e38f);
    BoxMerge(empty, box, &out);
    EXPECT_EQ(out.min.x, -1);
    EXPECT_EQ(out.max.z, 6);
    EXPECT_EQ(out.min.w, 1);
}

} // namespace
