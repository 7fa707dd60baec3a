// The transform hierarchy: frames, skeleton joints and cameras.
//
// Nothing is cached: every world matrix or transformed point is computed from the stored matrices
// when asked, by walking the parent chain. A frame owns neither its parent nor its children, so a
// hierarchy is destroyed as a whole.
#pragma once

#include <string>

#include "MzInfo.h"
#include "MzList.h"
#include "MzMath.h"

// Records for the point-and-direction transforms: a point at float 0 and a direction at float 3 or 7.
struct MzPointDir3 {
    Vector3 point;
    Vector3 dir;
};

struct MzPointDir7 {
    Vector3 point;
    Vector4 extra;
    Vector3 dir;
};

class MzFrame : public MzInfo {
  public:
    Matrix4x4 localMatrix = MatrixIdentity();
    Matrix4x4 offsetMatrix = MatrixIdentity();
    MzFrame* parent = nullptr;
    MzList<MzFrame*> children;

    virtual ~MzFrame() = default;

    virtual void SetPosition(const Vector3& p);
    virtual void SetPosition(float x, float y, float z);
    // The local position, not a world one.
    virtual void GetPosition(Vector3* out) const;
    virtual void SetMatrix(const Matrix4x4& m);
    // withOffset: offsetMatrix × localMatrix.
    virtual void GetMatrix(Matrix4x4* out, bool withOffset) const;
    virtual void LookAt(const MzFrame* target, Vector4* up);
    virtual void LookAt(const Vector3* target, Vector4* up);
    virtual void GetOffsetMatrix(Matrix4x4* out) const;
    virtual void SetOffsetMatrix(const Matrix4x4& m);
    // inverse(localMatrix) × offsetMatrix: for a joint, bind pose to current pose.
    virtual void GetSkinMatrix(Matrix4x4* out) const;
    virtual void GetWorldMatrix(Matrix4x4* out, bool withOffset) const;
    virtual void TransformBox(BoundingBox* out, const BoundingBox* in) const;
    virtual void TransformPointDir(MzPointDir7* out, const MzPointDir7* in) const;
    virtual void TransformPointDir(MzPointDir3* out, const MzPointDir3* in) const;
    // in and out may be the same object.
    virtual void TransformCoord(Vector4* out, const Vector4* in) const;
    virtual void TransformNormal(Vector4* out, const Vector4* in) const;
    virtual void InverseTransformBox(BoundingBox* out, const BoundingBox* in) const;
    virtual void InverseTransformPointDir(MzPointDir7* out, const MzPointDir7* in) const;
    virtual void InverseTransformPointDir(MzPointDir3* out, const MzPointDir3* in) const;
    virtual void InverseTransformCoord(Vector4* out, const Vector4* in) const;
    virtual void InverseTransformNormal(Vector4* out, const Vector4* in) const;

    // Moves the frame from its current parent (if any) to the end of newParent's children.
    void SetParent(MzFrame* newParent);

  private:
    Matrix4x4 InverseWorld() const;
};

class MzJoint : public MzFrame {
  public:
    std::string name;
};

class MzCamera : public MzFrame {
  public:
    Vector4 up{0, 1, 0, 1};
    MzFrame* target = nullptr;

    void GetViewMatrix(Matrix4x4* out) const;
};
