// Frames, joints and cameras.
#include "MzFrame.h"

#include <cmath>

namespace {

Vector3 Point3(const Vector4& p) {
    return {p.x, p.y, p.z};
}

// Box of the 8 corners of `in` after `transform`.
template <typename F>
void TransformCorners(BoundingBox* out, const BoundingBox& in, F transform) {
    BoundingBox box;
    for (int i = 0; i < 8; ++i) {
        Vector4 c{(i & 1) ? in.max.x : in.min.x, (i & 2) ? in.max.y : in.min.y, (i & 4) ? in.max.z : in.min.z,
                  1};
        transform(&c);
        BoxMerge(box, BoundingBox{c, c}, &box);
    }
    *out = box;
}

template <typename Record>
void TransformRecord(const Matrix4x4& m, Record* out, const Record* in) {
    Vector3 point = in->point, dir = in->dir;
    TransformCoord3(m, &out->point, point);
    TransformNormal3(m, &out->dir, dir);
}

} // namespace

void MzFrame::SetPosition(const Vector3& p) {
    SetPosition(p.x, p.y, p.z);
}

void MzFrame::SetPosition(float x, float y, float z) {
    float s = localMatrix.m[3][3];
    localMatrix.m[3][0] = x * s;
    localMatrix.m[3][1] = y * s;
    localMatrix.m[3][2] = z * s;
}

void MzFrame::GetPosition(Vector3* out) const {
    float s = localMatrix.m[3][3];
    *out = {localMatrix.m[3][0] / s, localMatrix.m[3][1] / s, localMatrix.m[3][2] / s};
}

void MzFrame::SetMatrix(const Matrix4x4& m) {
    localMatrix = m;
}

void MzFrame::GetMatrix(Matrix4x4* out, bool withOffset) const {
    *out = withOffset ? offsetMatrix * localMatrix : localMatrix;
}

void MzFrame::LookAt(const MzFrame* target, Vector4* up) {
    if (!target) return;
    Vector3 p;
    target->GetPosition(&p);
    LookAt(&p, up);
}

void MzFrame::LookAt(const Vector3* target, Vector4* up) {
    if (!target) return;
    Vector3 p;
    GetPosition(&p);
    Vector4 d{target->x - p.x, target->y - p.y, target->z - p.z, 1};
    float len = Vec3Length(d);
    if (len < 1e-6f) return;
    d = {d.x / len, d.y / len, d.z / len, 1};

    // Orthogonalise the caller's up against d; fall back to Y, then Z, when it is parallel.
    float dot = up->x * d.x + up->y * d.y + up->z * d.z;
    *up = {up->x - d.x * dot, up->y - d.y * dot, up->z - d.z * dot, 1};
    if (Vec3Length(*up) < 1e-6f) *up = {-d.x * d.y, 1 - d.y * d.y, -d.z * d.y, 1};
    if (Vec3Length(*up) < 1e-6f) *up = {-d.x * d.z, -d.y * d.z, 1 - d.z * d.z, 1};
    if (Vec3Length(*up) < 1e-6f) return;
    Vec3Normalize(up);
    const Vector4& u = *up;
    Vector3 r{u.y * d.z - u.z * d.y, u.z * d.x - u.x * d.z, u.x * d.y - u.y * d.x};

    localMatrix = {{{r.x, u.x, d.x, 0}, {r.y, u.y, d.y, 0}, {r.z, u.z, d.z, 0}, {p.x, p.y, p.z, 1}}};
}

void MzFrame::GetOffsetMatrix(Matrix4x4* out) const {
    *out = offsetMatrix;
}

void MzFrame::SetOffsetMatrix(const Matrix4x4& m) {
    offsetMatrix = m;
}

void MzFrame::GetSkinMatrix(Matrix4x4* out) const {
    Matrix4x4 inv;
    D3DXMatrixInverse(&inv, localMatrix);
    *out = inv * offsetMatrix;
}

void MzFrame::GetWorldMatrix(Matrix4x4* out, bool withOffset) const {
    GetMatrix(out, withOffset);
    for (const MzFrame* f = parent; f; f = f->parent) {
        Matrix4x4 m;
        f->GetMatrix(&m, withOffset);
        *out = *out * m;
    }
}

Matrix4x4 MzFrame::InverseWorld() const {
    Matrix4x4 world, inv;
    GetWorldMatrix(&world, true);
    D3DXMatrixInverse(&inv, world);
    return inv;
}

void MzFrame::TransformBox(BoundingBox* out, const BoundingBox* in) const {
    TransformCorners(out, *in, [this](Vector4* c) { TransformCoord(c, c); });
}

void MzFrame::TransformPointDir(MzPointDir7* out, const MzPointDir7* in) const {
    Matrix4x4 world;
    GetWorldMatrix(&world, true);
    TransformRecord(world, out, in);
}

void MzFrame::TransformPointDir(MzPointDir3* out, const MzPointDir3* in) const {
    Matrix4x4 world;
    GetWorldMatrix(&world, true);
    TransformRecord(world, out, in);
}

void MzFrame::TransformCoord(Vector4* out, const Vector4* in) const {
    Matrix4x4 world;
    GetWorldMatrix(&world, true);
    TransformCoord4(world, out, *in);
}

void MzFrame::TransformNormal(Vector4* out, const Vector4* in) const {
    Matrix4x4 world;
    GetWorldMatrix(&world, true);
    TransformNormal4(world, out, *in);
}

void MzFrame::InverseTransformBox(BoundingBox* out, const BoundingBox* in) const {
    TransformCorners(out, *in, [this](Vector4* c) { InverseTransformCoord(c, c); });
}

void MzFrame::InverseTransformPointDir(MzPointDir7* out, const MzPointDir7* in) const {
    TransformRecord(InverseWorld(), out, in);
}

void MzFrame::InverseTransformPointDir(MzPointDir3* out, const MzPointDir3* in) const {
    TransformRecord(InverseWorld(), out, in);
}

void MzFrame::InverseTransformCoord(Vector4* out, const Vector4* in) const {
    TransformCoord4(InverseWorld(), out, *in);
}

void MzFrame::InverseTransformNormal(Vector4* out, const Vector4* in) const {
    TransformNormal4(InverseWorld(), out, *in);
}

void MzFrame::SetParent(MzFrame* newParent) {
    if (parent) parent->children.Remove(this);
    parent = nullptr;
    newParent->children.Add(this);
    parent = newParent;
}

void MzCamera::GetViewMatrix(Matrix4x4* out) const {
    if (target) {
        Vector4 eye = kVec4Origin, at = kVec4Origin;
        TransformCoord(&eye, &eye);
        target->TransformCoord(&at, &at);
        D3DXMatrixLookAtLH(out, Point3(eye), Point3(at), {up.x, up.y, up.z});
        return;
    }
    // LookAt stores the view rotation with the position in row 3; turn that row into the view translation.
    GetMatrix(out, true);
    Vector4 t{out->m[3][0], out->m[3][1], out->m[3][2], out->m[3][3]}, r;
    TransformNormal4(*out, &r, t);
    out->m[3][0] = -r.x;
    out->m[3][1] = -r.y;
    out->m[3][2] = -r.z;
}
