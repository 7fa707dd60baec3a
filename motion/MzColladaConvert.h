// The conversion from the documents' right-handed, Y-up frame into the system's left-handed one.
#pragma once

#include "ColladaMatrix.h"
#include "MzMath.h"

// π as the float the conversion has always used; its residue is part of the result.
constexpr float kColladaPi = 3.14159274f;

// The half turn about Y that follows the z mirror.
inline Matrix4x4 ColladaHalfTurn() {
    Matrix4x4 r;
    D3DXMatrixRotationYawPitchRoll(&r, kColladaPi, 0, 0);
    return r;
}

inline Vector4 ColladaPosition(const Matrix4x4& halfTurn, const float* v, float scale) {
    Vector4 out;
    TransformCoord4(halfTurn, &out, {v[0] * scale, v[1] * scale, -v[2] * scale, 1});
    return out;
}

inline Vector4 ColladaNormal(const Matrix4x4& halfTurn, const float* v) {
    Vector4 out;
    TransformNormal4(halfTurn, &out, {v[0], v[1], -v[2], 1});
    return out;
}

// A joint's bind matrix from its node's world transform: transposed into row vectors, z mirrored
// on both sides, translation scaled, then turned.
inline Matrix4x4 ColladaBindMatrix(const collada::Matrix4& world, float scale, const Matrix4x4& halfTurn) {
    Matrix4x4 w;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            w.m[r][c] = world.At(c, r);
    w.m[0][2] = -w.m[0][2];
    w.m[1][2] = -w.m[1][2];
    w.m[2][0] = -w.m[2][0];
    w.m[2][1] = -w.m[2][1];
    w.m[2][3] = -w.m[2][3];
    w.m[3][2] = -w.m[3][2];
    w.m[3][0] *= scale;
    w.m[3][1] *= scale;
    w.m[3][2] *= scale;
    return w * halfTurn;
}
