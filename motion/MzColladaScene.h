// What a model import knows while it builds the meshes of a scene: the joint each joint node
// became and where the document lies.
#pragma once

#include "ColladaDocument.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class MzJoint;
class MzModel;

struct MzColladaScene {
    MzModel& model;
    float scale;
    const collada::Document& document;
    std::string directory; // the document's folder, where a missing texture is looked for by name
    const collada::Matrix4* frame = nullptr; // turns the document to Y up; null: taken as it is
    std::vector<std::string>* primMaterials = nullptr;
    // The first joint made for each joint node (an instanced skeleton makes more than one).
    std::unordered_map<const collada::Node*, MzJoint*> nodeJoints;
    // The world transform each joint's bind matrix came from.
    std::unordered_map<const MzJoint*, collada::Matrix4> jointWorlds;
    // Joints whose bind matrix a skin's inverse bind matrix replaced; the first skin wins.
    std::unordered_set<const MzJoint*> rebound;
};
