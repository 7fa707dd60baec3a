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
struct MzColladaScene;
struct MzColladaVisit;

namespace collada {
struct Controller;
struct Geometry;
struct Instance;
struct Matrix4;
} // namespace collada

// How a document's own frame is taken.
struct MzColladaOptions {
    // Honour the document's `up_axis` and `unit`: the model is turned to Y up and measured in
    // metres before the import scale. Off, documents are taken as Y up in their own units.
    bool documentAxes = false;
};

class MzColladaReader {
  public:
    // Imports the document at `path` into `model`: joints, prims, textures, bounds. On a load
    // failure the model is left as it was. True when the document loaded; the document's own
    // diagnostics (problems it read past) go to `diagnostics` when given.
    // `primMaterials`, when given, receives the id of the material each prim was bound to (empty
    // for none), in prim order.
    static bool ReadModel(const std::string& path, MzModel& model, float scale,
                          std::vector<std::string>* diagnostics = nullptr, const MzColladaOptions& options = {},
                          std::vector<std::string>* primMaterials = nullptr);
    // Imports the motion at `path` into `data` for `model` (one curve per joint); everything in
    // `data` but its name is replaced, also when the document does not load.
    static bool ReadMotion(const std::string& path, MzMotionData& data, const MzModel& model, float scale,
                           std::vector<std::string>* diagnostics = nullptr, const MzColladaOptions& options = {});

  private:
    static MzJoint* ReadNode(MzColladaScene& scene, const MzColladaVisit& visit, MzJoint* parentJoint);
    static void ReadInstances(MzColladaScene& scene, const MzColladaVisit& visit);
    // The prims of one instance; `placement` transforms the geometry's positions and normals.
    static void BuildMesh(MzColladaScene& scene, const collada::Geometry* geometry,
                          const collada::Controller* controller, const collada::Instance& instance,
                          const collada::Matrix4& placement);
    static void ReadMotionNode(const MzModel& model, MzMotionData& data, float scale,
                               const MzColladaVisit& visit, const collada::Matrix4* frame);
    static void ResolveRotations(const MzModel& model, MzMotionData& data, const MzJoint* parent,
                                 const MzJoint* joint);
};
