// Model import (scene walk and joints) and motion import (keys merged by time, absolute rotations).
#include "MzColladaReader.h"

#include "ColladaDocument.h"
#include "KeyFrameList.h"
#include "MzColladaConvert.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzMotion.h"

#include <cmath>

namespace {

// The Hamilton product a ⊗ b: b's rotation applied first, then a's.
Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + b.w * a.x + (a.y * b.z - a.z * b.y), a.w * b.y + b.w * a.y + (a.z * b.x - a.x * b.z),
            a.w * b.z + b.w * a.z + (a.x * b.y - a.y * b.x), a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z)};
}

// The rotation of a record: the angle negated for the left-handed frame, the axis z mirrored.
Quaternion RecordRotation(const KeyFrameRecord& r) {
    constexpr double kPi = 3.141592653589793;
    float radians = static_cast<float>(r.angle * kPi);
    radians = radians / 180.0f;
    float theta = -radians;
    float half = theta / 2.0f;
    float s = std::sin(half);
    return {r.axisX * s, r.axisY * s, -r.axisZ * s, std::cos(half)};
}

// Adds the keys of one translate or rotate element to the entries: the record of the element at a
// key's time starts from the element's static value and takes the key's component.
void CollectElementKeys(KeyFrameList& list, const collada::Transform& e, uint32_t h, float scale) {
    bool translate = e.kind == collada::TransformKind::Translate;
    if (!translate && e.kind != collada::TransformKind::Rotate) return;
    for (size_t j = 0; j < e.curves.size(); ++j)
        for (const collada::Key& key : e.curves[j]) {
            if (std::isnan(key.time)) continue;
            KeyFrameRecord& r = list.FindOrInsert(key.time).Record(h);
            if (translate) {
                if (r.kind == KeyFrameRecord::kEmpty) {
                    r.kind = KeyFrameRecord::kTranslation;
                    r.x = e.values[0] * scale, r.y = e.values[1] * scale, r.z = e.values[2] * scale, r.w = 1;
                }
                (&r.x)[j] = key.value * scale;
            } else {
                if (r.kind == KeyFrameRecord::kEmpty) {
                    r.kind = KeyFrameRecord::kRotation;
                    r.axisX = e.values[0], r.axisY = e.values[1], r.axisZ = e.values[2],
                    r.angle = e.values[3];
                }
                if (j < 3)
                    (&r.axisX)[j] = key.value;
                else
                    r.angle = key.value;
            }
        }
}

// One key of curve k from a merged entry.
void StoreEntry(MzMotionData& data, uint32_t k, const KeyFrameEntry& entry) {
    Vector4 t = kVec4Origin;
    Quaternion q;
    for (const auto& [h, r] : entry.Records()) {
        if (r.kind == KeyFrameRecord::kTranslation)
            t = {r.x, r.y, -r.z, r.w};
        else if (r.kind == KeyFrameRecord::kRotation)
            q = Multiply(q, RecordRotation(r));
    }
    if (k >= data.curveCount) return;
    MzMotionKeyFrame* key = data.curves[k].AddKey(entry.time);
    key->translation = t;
    key->rotation = q;
    if (entry.time > data.length) data.length = entry.time;
}

uint32_t JointPosition(const MzModel& model, const MzJoint* joint) {
    int position = model.joints.IndexOf(const_cast<MzJoint*>(joint));
    return position < 0 ? 0 : static_cast<uint32_t>(position);
}

} // namespace

// ---- Model -------------------------------------------------------------------------

bool MzColladaReader::ReadModel(const std::string& path, MzModel& model, float scale,
                                std::vector<std::string>* diagnostics) {
    MzSetMessageText("モデルの読込中(%s)\n", path.c_str());
    MzShowMessageWindow();
    collada::Document doc;
    bool loaded = doc.Load(path);
    if (diagnostics) *diagnostics = doc.Diagnostics();
    if (!loaded) {
        MzErrorBox("ERROR", "ファイルの読み込みに失敗しました(%s)", path.c_str());
    } else {
        model.Clear();
        ReadNode(model, scale, doc.SceneRoot(), nullptr);
        model.ComputeBounds();
    }
    MzHideMessageWindow();
    return loaded;
}

void MzColladaReader::ReadNode(MzModel& model, float scale, const collada::Node* node,
                               const collada::Node* parentNode) {
    if (!node) return;
    if (node->isJoint) {
        MzJoint* joint = model.CreateJoint();
        joint->name = node->name;
        if (parentNode && parentNode->isJoint)
            if (MzJoint* parent = model.FindJoint(parentNode->name)) joint->SetParent(parent);
        Matrix4x4 bind = ColladaBindMatrix(node->WorldTransform(), scale, ColladaHalfTurn());
        joint->SetMatrix(bind);
        joint->SetOffsetMatrix(bind);
    }
    for (const collada::Instance& instance : node->instances) {
        if (instance.kind == collada::InstanceKind::Geometry)
            BuildMesh(instance.geometry, model, scale, nullptr, instance.materials);
        else if (instance.kind == collada::InstanceKind::Controller)
            BuildMesh(instance.controller ? instance.controller->BaseGeometry() : nullptr, model, scale,
                      instance.controller, instance.materials);
    }
    for (const collada::Node* child : node->children)
        ReadNode(model, scale, child, node);
}

// ---- Motion ------------------------------------------------------------------------

bool MzColladaReader::ReadMotion(const std::string& path, MzMotionData& data, const MzModel& model,
                                 float scale, std::vector<std::string>* diagnostics) {
    MzSetMessageText("モーションの読込中(%s)\n", path.c_str());
    MzShowMessageWindow();
    collada::Document doc;
    bool loaded = doc.Load(path);
    if (diagnostics) *diagnostics = doc.Diagnostics();
    if (!loaded) MzErrorBox("ERROR", "ファイルの読み込みに失敗しました(%s)", path.c_str());
    data.AllocateCurves(model);
    if (const collada::Node* root = doc.SceneRoot()) ReadMotionNode(model, data, scale, root);
    if (!model.joints.Empty()) ResolveRotations(model, data, nullptr, model.joints[0]);
    MzHideMessageWindow();
    return loaded;
}

void MzColladaReader::ReadMotionNode(const MzModel& model, MzMotionData& data, float scale,
                                     const collada::Node* node) {
    if (node->isJoint) {
        uint32_t k = JointPosition(model, model.FindJoint(node->name));
        KeyFrameList list;
        for (size_t h = 0; h < node->transforms.size(); ++h)
            CollectElementKeys(list, node->transforms[h], static_cast<uint32_t>(h), scale);
        for (const auto& [time, entry] : list)
            StoreEntry(data, k, *entry);
    }
    for (const collada::Node* child : node->children)
        ReadMotionNode(model, data, scale, child);
}

void MzColladaReader::ResolveRotations(const MzModel& model, MzMotionData& data, const MzJoint* parent,
                                       const MzJoint* joint) {
    uint32_t a = JointPosition(model, joint);
    if (a < data.curveCount) {
        Matrix4x4 halfTurn = ColladaHalfTurn();
        Quaternion turn;
        D3DXQuaternionRotationMatrix(&turn, halfTurn);
        uint32_t c = parent ? JointPosition(model, parent) : 0;
        for (MzMotionKeyFrame* key : data.curves[a].keys) {
            if (!parent) {
                key->rotation = Multiply(turn, key->rotation);
                TransformNormal4(halfTurn, &key->translation, key->translation);
                continue;
            }
            Quaternion p = c < data.curveCount ? data.curves[c].SampleRotation(key->time) : Quaternion{};
            key->rotation = Multiply(p, key->rotation);
        }
    }
    for (const MzFrame* child : joint->children)
        ResolveRotations(model, data, joint, static_cast<const MzJoint*>(child));
}
