// Model and motion import from COLLADA documents.
//
// The document's right-handed, Y-up coordinates become the system's left-handed ones by
// mirroring z and turning half a turn about Y (with π as the float 3.14159274, whose small
// residue is kept): in effect x is mirrored. Texture v is flipped. Both imports run without a
// graphics context and report through the message window and error boxes of MzLog.h.
#pragma once

#include <string>
#include <vector>

class MzModel;
class MzMotionData;
class MzJoint;
class KeyFrameList;

namespace collada {
struct Controller;
struct Geometry;
struct Material;
struct Node;
} // namespace collada

class MzColladaReader {
  public:
    // Imports the document at `path` into `model`: joints, prims, textures, bounds. On a load
    // failure the model is left as it was. True when the document loaded; the document's own
    // diagnostics (problems it read past) go to `diagnostics` when given.
    static bool ReadModel(const std::string& path, MzModel& model, float scale,
                          std::vector<std::string>* diagnostics = nullptr);
    // Imports the motion at `path` into `data` for `model` (one curve per joint); everything in
    // `data` but its name is replaced, also when the document does not load.
    static bool ReadMotion(const std::string& path, MzMotionData& data, const MzModel& model, float scale,
                           std::vector<std::string>* diagnostics = nullptr);

  private:
    static void ReadNode(MzModel& model, float scale, const collada::Node* node,
                         const collada::Node* parentNode);
    static void BuildMesh(const collada::Geometry* geometry, MzModel& model, float scale,
                          const collada::Controller* controller,
                          const std::vector<const collada::Material*>& materials);
    static void ReadMotionNode(const MzModel& model, MzMotionData& data, float scale,
                               const collada::Node* node);
    static void ResolveRotations(const MzModel& model, MzMotionData& data, const MzJoint* parent,
                                 const MzJoint* joint);
};
