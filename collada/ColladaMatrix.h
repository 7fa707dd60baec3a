// 4x4 matrices as COLLADA writes them: row-major, column vectors, translation in column 3.
#pragma once

#include <array>

namespace collada {

struct Matrix4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& At(int row, int col) { return m[row * 4 + col]; }
    float At(int row, int col) const { return m[row * 4 + col]; }

    static Matrix4 Translation(float x, float y, float z);
    static Matrix4 Scaling(float x, float y, float z);
    // Rotation by `degrees` about the axis (x, y, z), right-handed; the axis is normalised.
    static Matrix4 Rotation(float x, float y, float z, float degrees);
    // `lookat`: eye, interest point, up vector, as COLLADA defines it.
    static Matrix4 LookAt(const float* v);
    // `skew`: angle in degrees, rotation axis, translation axis.
    static Matrix4 Skew(const float* v);

    bool IsIdentity() const;
    // The point (x, y, z, 1) and the direction (x, y, z, 0) transformed, into `out` (3 floats).
    void TransformPoint(const float* v, float* out) const;
    void TransformDirection(const float* v, float* out) const;
};

Matrix4 operator*(const Matrix4& a, const Matrix4& b);
// The inverse, or the identity when `m` is singular (or not finite).
Matrix4 Inverse(const Matrix4& m);
// Largest absolute difference of two matrices' cells.
float MaxDifference(const Matrix4& a, const Matrix4& b);

} // namespace collada
