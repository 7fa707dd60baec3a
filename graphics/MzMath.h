// Value types and the vector and matrix functions shared by frames, the device, prims and motions.
//
// Matrices are row-major with row vectors: v' = v × M, translation in row 3 (m[3][0..2]).
// A × B means A applied first. The coordinate system is left-handed. The D3DX-named helpers keep
// those conventions; GLM computes underneath. GLM's column-major, column-vector matrices have
// exactly the memory of ours, so a matrix converts by copying and A × B is GLM's B * A.
#pragma once

#include <cfloat>

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
};

// Rotation (x, y, z, w), w the scalar part; laid out like a Vector4.
struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

struct Matrix4x4 {
    float m[4][4] = {};
};

struct BoundingBox {
    Vector4 min{FLT_MAX, FLT_MAX, FLT_MAX, 1};
    Vector4 max{-FLT_MAX, -FLT_MAX, -FLT_MAX, 1};
};

constexpr Vector4 kVec4Origin{0, 0, 0, 1};

float Vec3Length(const Vector4& v);
// Leaves v unchanged when its length is exactly 0; w is untouched.
void Vec3Normalize(Vector4* v);
void BoxMerge(const BoundingBox& a, const BoundingBox& b, BoundingBox* out);
void MatrixIdentity(Matrix4x4* m);
Matrix4x4 MatrixIdentity();

// Point transforms divide by w = p·column 3 + m33; a w below 0.0001 (negative ones included) counts as 1.
// The input's own w is ignored.
void TransformCoord3(const Matrix4x4& m, Vector3* out, const Vector3& p);
void TransformCoord4(const Matrix4x4& m, Vector4* out, const Vector4& p);
// Direction transforms: as the point forms without the translation row, with the same divisor.
void TransformNormal3(const Matrix4x4& m, Vector3* out, const Vector3& p);
void TransformNormal4(const Matrix4x4& m, Vector4* out, const Vector4& p);

// The D3DX operations the system uses, with their documented meaning.
Matrix4x4* D3DXMatrixPerspectiveFovLH(Matrix4x4* out, float fovY, float aspect, float zNear, float zFar);
Matrix4x4* D3DXMatrixLookAtLH(Matrix4x4* out, const Vector3& eye, const Vector3& at, const Vector3& up);
Matrix4x4* D3DXMatrixMultiply(Matrix4x4* out, const Matrix4x4& a, const Matrix4x4& b);
// Singular matrices are the caller's concern: the result is then not finite.
Matrix4x4* D3DXMatrixInverse(Matrix4x4* out, const Matrix4x4& m);
Matrix4x4* D3DXMatrixRotationYawPitchRoll(Matrix4x4* out, float yaw, float pitch, float roll);
Matrix4x4* D3DXMatrixRotationQuaternion(Matrix4x4* out, const Quaternion& q);
// Takes the shorter arc: a key on the opposite hemisphere is negated first.
Quaternion* D3DXQuaternionSlerp(Quaternion* out, const Quaternion& a, const Quaternion& b, float t);
Quaternion* D3DXQuaternionRotationMatrix(Quaternion* out, const Matrix4x4& m);

Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b);
