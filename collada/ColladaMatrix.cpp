// 4x4 matrix helpers for the transformation elements of nodes.
#include "ColladaMatrix.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace collada {

namespace {

constexpr float kDegToRad = 3.14159265358979323846f / 180.0f;

struct Vec3 {
    float x, y, z;
};

Vec3 Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Normalize(Vec3 v) {
    float len = std::sqrt(Dot(v, v));
    if (len == 0.0f) return v;
    return {v.x / len, v.y / len, v.z / len};
}

} // namespace

Matrix4 Matrix4::Translation(float x, float y, float z) {
    Matrix4 r;
    r.At(0, 3) = x;
    r.At(1, 3) = y;
    r.At(2, 3) = z;
    return r;
}

Matrix4 Matrix4::Scaling(float x, float y, float z) {
    Matrix4 r;
    r.At(0, 0) = x;
    r.At(1, 1) = y;
    r.At(2, 2) = z;
    return r;
}

Matrix4 Matrix4::Rotation(float x, float y, float z, float degrees) {
    Vec3 a = Normalize({x, y, z});
    float rad = degrees * kDegToRad;
    float c = std::cos(rad), s = std::sin(rad), t = 1.0f - c;
    Matrix4 r;
    r.At(0, 0) = t * a.x * a.x + c;
    r.At(0, 1) = t * a.x * a.y - s * a.z;
    r.At(0, 2) = t * a.x * a.z + s * a.y;
    r.At(1, 0) = t * a.x * a.y + s * a.z;
    r.At(1, 1) = t * a.y * a.y + c;
    r.At(1, 2) = t * a.y * a.z - s * a.x;
    r.At(2, 0) = t * a.x * a.z - s * a.y;
    r.At(2, 1) = t * a.y * a.z + s * a.x;
    r.At(2, 2) = t * a.z * a.z + c;
    return r;
}

Matrix4 Matrix4::LookAt(const float* v) {
    Vec3 eye{v[0], v[1], v[2]}, target{v[3], v[4], v[5]}, up{v[6], v[7], v[8]};
    Vec3 f = Normalize(Sub(target, eye));
    Vec3 s = Normalize(Cross(f, up));
    Vec3 u = Cross(s, f);
    Matrix4 r;
    const Vec3 cols[4] = {s, u, {-f.x, -f.y, -f.z}, eye};
    for (int c = 0; c < 4; ++c) {
        r.At(0, c) = cols[c].x;
        r.At(1, c) = cols[c].y;
        r.At(2, c) = cols[c].z;
    }
    return r;
}

Matrix4 Matrix4::Skew(const float* v) {
    // Shears along the translation axis by tan(angle) times the distance along the rotation axis.
    float amount = std::tan(v[0] * kDegToRad);
    Vec3 around = Normalize({v[1], v[2], v[3]});
    Vec3 along = Normalize({v[4], v[5], v[6]});
    const float a[3] = {around.x, around.y, around.z}, b[3] = {along.x, along.y, along.z};
    Matrix4 r;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            r.At(row, col) += amount * b[row] * a[col];
    return r;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.At(row, k) * b.At(k, col);
            r.At(row, col) = sum;
        }
    return r;
}

bool Matrix4::IsIdentity() const {
    return m == Matrix4{}.m;
}

void Matrix4::TransformPoint(const float* v, float* out) const {
    for (int row = 0; row < 3; ++row)
        out[row] = At(row, 0) * v[0] + At(row, 1) * v[1] + At(row, 2) * v[2] + At(row, 3);
}

void Matrix4::TransformDirection(const float* v, float* out) const {
    for (int row = 0; row < 3; ++row)
        out[row] = At(row, 0) * v[0] + At(row, 1) * v[1] + At(row, 2) * v[2];
}

// Gauss-Jordan elimination with partial pivoting, in double.
Matrix4 Inverse(const Matrix4& m) {
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m.At(r, c);
            a[r][c + 4] = r == c ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (!(std::fabs(a[pivot][col]) > 1e-12)) return Matrix4{};
        for (int c = 0; c < 8; ++c)
            std::swap(a[col][c], a[pivot][c]);
        double inv = 1.0 / a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            double f = a[r][col];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    Matrix4 r;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r.At(row, c) = static_cast<float>(a[row][c + 4]);
    for (float v : r.m)
        if (!std::isfinite(v)) return Matrix4{};
    return r;
}

float MaxDifference(const Matrix4& a, const Matrix4& b) {
    float d = 0;
    for (size_t i = 0; i < a.m.size(); ++i)
        d = std::max(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

} // namespace collada
