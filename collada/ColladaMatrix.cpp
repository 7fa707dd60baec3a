// 4x4 matrix helpers for the transformation elements of nodes.
#include "ColladaMatrix.h"

#include <cmath>

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

} // namespace collada
