// Skinned models.
#include "MzModel.h"

MzModel::~MzModel() {
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
