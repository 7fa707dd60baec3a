// Behaviour of the object model: controller chains and node transforms.
#include "ColladaObjects.h"

namespace collada {

const Geometry* Controller::BaseGeometry() const {
    // A chain longer than the number of controllers would be a cycle; a generous bound suffices.
    const Controller* c = this;
    for (int depth = 0; c && depth < 1024; ++depth) {
        if (c->sourceGeometry) return c->sourceGeometry;
        c = c->sourceController;
    }
    return nullptr;
}

bool Transform::IsAnimated() const {
    for (const Curve& curve : curves)
        if (!curve.empty()) return true;
    return false;
}

Matrix4 Transform::LocalMatrix() const {
    const float* v = values.data();
    switch (kind) {
    case TransformKind::Matrix: {
        Matrix4 r;
        r.m = values;
        return r;
    }
    case TransformKind::Translate:
        return Matrix4::Translation(v[0], v[1], v[2]);
    case TransformKind::Rotate:
        return Matrix4::Rotation(v[0], v[1], v[2], v[3]);
    case TransformKind::Scale:
        return Matrix4::Scaling(v[0], v[1], v[2]);
    case TransformKind::LookAt:
        return Matrix4::LookAt(v);
    case TransformKind::Skew:
        return Matrix4::Skew(v);
    }
    return Matrix4{};
}

Matrix4 Node::LocalTransform() const {
    Matrix4 r;
    for (const Transform& t : transforms)
        r = r * t.LocalMatrix();
    return r;
}

Matrix4 Node::WorldTransform() const {
    return TransformBelow(nullptr);
}

Matrix4 Node::TransformBelow(const Node* top) const {
    Matrix4 r = LocalTransform();
    if (this == top) return r;
    for (const Node* p = parent; p; p = p->parent) {
        r = p->LocalTransform() * r;
        if (p == top) break;
    }
    return r;
}

} // namespace collada
