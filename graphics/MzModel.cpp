// Skinned models.
#include "MzModel.h"

MzModel::~MzModel() {
    Clear();
    for (MzJoint* joint : joints)
        delete joint;
}

MzJoint* MzModel::CreateJoint() {
    auto* joint = new MzJoint;
    joints.Add(joint);
    return joint;
}

MzJoint* MzModel::FindJoint(const std::string& name) const {
    for (MzJoint* joint : joints)
        if (joint->name == name) return joint;
    return nullptr;
}

void MzModel::ComputeBounds() {
    BoundingBox box;
    for (MzPrim* prim : prims) {
        prim->ComputeBounds();
        BoxMerge(box, prim->bounds, &box);
    }
    bounds = box;
}

void MzModel::Clear() {
    for (MzPrim* prim : prims)
        delete prim;
    for (MzTexture* texture : textures)
        delete texture;
    prims.Clear();
    textures.Clear();
}
