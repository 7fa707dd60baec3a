// Vector and matrix functions; the D3DX-named helpers compute with GLM (see MzMath.h for why copying works).
#include "MzMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>

namespace {

glm::mat4 ToGlm(const Matrix4x4& m) {
    return glm::make_mat4(&m.m[0][0]);
}

Matrix4x4 FromGlm(const glm::mat4& g) {
    Matrix4x4 m;
    std::memcpy(m.m, glm::value_ptr(g), sizeof m.m);
    return m;
}

glm::quat ToGlm(const Quaternion& q) {
    return glm::quat(q.w, q.x, q.y, q.z);
}

Quaternion FromGlm(const glm::quat& q) {
    return {q.x, q.y, q.z, q.w};
}

glm::vec3 ToGlm(const Vector3& v) {
    return {v.x, v.y, v.z};
}

float Divisor(const Matrix4x4& m, float x, float y, float z) {
    float w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    return w < 0.0001f ? 1.0f : w;
}

// Row-vector product with an optional translation row, divided by the point divisor.
Vector3 Transform(const Matrix4x4& m, float x, float y, float z, bool withTranslation) {
    float w = Divisor(m, x, y, z);
    float t = withTranslation ? 1.0f : 0.0f;
    return {(x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + t * m.m[3][0]) / w,
            (x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + t * m.m[3][1]) / w,
            (x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + t * m.m[3][2]) / w};
}

} // namespace

float Vec3Length(const Vector4& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void Vec3Normalize(Vector4* v) {
    float len = Vec3Length(*v);
    if (len == 0.0f) return;
    v->x /= len;
    v->y /= len;
    v->z /= len;
}

void BoxMerge(const BoundingBox& a, const BoundingBox& b, BoundingBox* out) {
    out->min = {std::min(a.min.x, b.min.x), std::min(a.min.y, b.min.y), std::min(a.min.z, b.min.z), 1};
    out->max = {std::max(a.max.x, b.max.x), std::max(a.max.y, b.max.y), std::max(a.max.z, b.max.z), 1};
}

void MatrixIdentity(Matrix4x4* m) {
    *m = MatrixIdentity();
}

Matrix4x4 MatrixIdentity() {
    Matrix4x4 m;
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    return m;
}

void TransformCoord3(const Matrix4x4& m, Vector3* out, const Vector3& p) {
    *out = Transform(m, p.x, p.y, p.z, true);
}

void TransformCoord4(const Matrix4x4& m, Vector4* out, const Vector4& p) {
    Vector3 r = Transform(m, p.x, p.y, p.z, true);
    *out = {r.x, r.y, r.z, 1.0f};
}

void TransformNormal3(const Matrix4x4& m, Vector3* out, const Vector3& p) {
    *out = Transform(m, p.x, p.y, p.z, false);
}

void TransformNormal4(const Matrix4x4& m, Vector4* out, const Vector4& p) {
    Vector3 r = Transform(m, p.x, p.y, p.z, false);
    *out = {r.x, r.y, r.z, 1.0f};
}

Matrix4x4* D3DXMatrixPerspectiveFovLH(Matrix4x4* out, float fovY, float aspect, float zNear, float zFar) {
    *out = FromGlm(glm::perspectiveLH_ZO(fovY, aspect, zNear, zFar));
    return out;
}

Matrix4x4* D3DXMatrixLookAtLH(Matrix4x4* out, const Vector3& eye, const Vector3& at, const Vector3& up) {
    *out = FromGlm(glm::lookAtLH(ToGlm(eye), ToGlm(at), ToGlm(up)));
    return out;
}

Matrix4x4* D3DXMatrixMultiply(Matrix4x4* out, const Matrix4x4& a, const Matrix4x4& b) {
    *out = FromGlm(ToGlm(b) * ToGlm(a));
    return out;
}

Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b) {
    Matrix4x4 r;
    D3DXMatrixMultiply(&r, a, b);
    return r;
}

Matrix4x4* D3DXMatrixInverse(Matrix4x4* out, const Matrix4x4& m) {
    *out = FromGlm(glm::inverse(ToGlm(m)));
    return out;
}

// Roll about Z first, then pitch about X, then yaw about Y. A left-handed rotation on row vectors has the
// memory of GLM's right-handed rotation on column vectors, so GLM's rotate() builds each factor.
Matrix4x4* D3DXMatrixRotationYawPitchRoll(Matrix4x4* out, float yaw, float pitch, float roll) {
    glm::mat4 r = glm::rotate(glm::mat4(1.0f), yaw, glm::vec3(0, 1, 0));
    r = glm::rotate(r, pitch, glm::vec3(1, 0, 0));
    r = glm::rotate(r, roll, glm::vec3(0, 0, 1));
    *out = FromGlm(r);
    return out;
}

Matrix4x4* D3DXMatrixRotationQuaternion(Matrix4x4* out, const Quaternion& q) {
    *out = FromGlm(glm::mat4_cast(ToGlm(q)));
    return out;
}

Quaternion* D3DXQuaternionSlerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t) {
    *out = FromGlm(glm::slerp(ToGlm(a), ToGlm(b), t));
    return out;
}

Quaternion* D3DXQuaternionRotationMatrix(Quaternion* out, const Matrix4x4& m) {
    *out = FromGlm(glm::quat_cast(glm::mat3(ToGlm(m))));
    return out;
}
