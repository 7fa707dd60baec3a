// Model import (scene walk and joints) and motion import (keys merged by time, absolute rotations).
#include "MzColladaReader.h"

#include "ColladaDocument.h"
#include "KeyFrameList.h"
#include "MzColladaConvert.h"
#include "MzColladaScene.h"
#include "MzColladaWalk.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzMotion.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace {

// The box for a document that could not be read, as model or as motion.
void ReportUnreadable(const std::string& path) {
    MzErrorBox("ERROR", "ファイルの読み込みに失敗しました(%s)", path.c_str());
}

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

// The value of a curve at `time`: linear between its keys, held before the first and after the last.
float SampleCurve(const collada::Curve& curve, float time) {
    auto after = std::upper_bound(curve.begin(), curve.end(), time,
                                  [](float t, const collada::Key& key) { return t < key.time; });
    if (after == curve.begin()) return curve.front().value;
    if (after == curve.end()) return curve.back().value;
    const collada::Key& a = *(after - 1);
    const collada::Key& b = *after;
    float span = b.time - a.time;
    return span > 0 ? a.value + (b.value - a.value) * ((time - a.time) / span) : b.value;
}

// The rotation of a matrix's upper 3 x 3 (its columns normalised, so scale drops out), as a
// right-handed quaternion.
void MatrixRotation(const float* m, float* q) {
    float c[3][3];
    for (int col = 0; col < 3; ++col) {
        float len = std::sqrt(m[col] * m[col] + m[4 + col] * m[4 + col] + m[8 + col] * m[8 + col]);
        for (int row = 0; row < 3; ++row)
            c[row][col] = len > 0 ? m[row * 4 + col] / len : (row == col ? 1.0f : 0.0f);
    }
    float trace = c[0][0] + c[1][1] + c[2][2];
    if (trace > 0) {
        float s = std::sqrt(trace + 1.0f) * 2;
        q[0] = (c[2][1] - c[1][2]) / s, q[1] = (c[0][2] - c[2][0]) / s, q[2] = (c[1][0] - c[0][1]) / s;
        q[3] = 0.25f * s;
    } else if (c[0][0] > c[1][1] && c[0][0] > c[2][2]) {
        float s = std::sqrt(1.0f + c[0][0] - c[1][1] - c[2][2]) * 2;
        q[0] = 0.25f * s, q[1] = (c[0][1] + c[1][0]) / s, q[2] = (c[0][2] + c[2][0]) / s;
        q[3] = (c[2][1] - c[1][2]) / s;
    } else if (c[1][1] > c[2][2]) {
        float s = std::sqrt(1.0f + c[1][1] - c[0][0] - c[2][2]) * 2;
        q[0] = (c[0][1] + c[1][0]) / s, q[1] = 0.25f * s, q[2] = (c[1][2] + c[2][1]) / s;
        q[3] = (c[0][2] - c[2][0]) / s;
    } else {
        float s = std::sqrt(1.0f + c[2][2] - c[0][0] - c[1][1]) * 2;
        q[0] = (c[0][2] + c[2][0]) / s, q[1] = (c[1][2] + c[2][1]) / s, q[2] = 0.25f * s;
        q[3] = (c[1][0] - c[0][1]) / s;
    }
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(q[i])) q[0] = q[1] = q[2] = 0, q[3] = 1;
}

// A keyed matrix element: at every time one of its cells is keyed, the whole matrix, each cell
// sampled from its own curve (a matrix mixed from cells of different times would shear), then
// split into the translation and the rotation the motion holds.
void CollectMatrixKeys(KeyFrameList& list, const collada::Transform& e, uint32_t h, float scale) {
    for (const collada::Curve& curve : e.curves)
        for (const collada::Key& key : curve) {
            if (std::isnan(key.time)) continue;
            KeyFrameRecord& r = list.FindOrInsert(key.time).Record(h);
            if (r.kind != KeyFrameRecord::kEmpty) continue;
            float m[16];
            for (size_t c = 0; c < 16; ++c)
                m[c] = e.curves[c].empty() ? e.values[c] : SampleCurve(e.curves[c], key.time);
            r.kind = KeyFrameRecord::kMatrix;
            r.x = m[3] * scale, r.y = m[7] * scale, r.z = m[11] * scale, r.w = 1;
            MatrixRotation(m, r.rotation);
        }
}

// Adds the keys of one translate, rotate or matrix element to the entries: the record of a
// translate or rotate element at a key's time starts from the element's static value and takes
// the key's component.
void CollectElementKeys(KeyFrameList& list, const collada::Transform& e, uint32_t h, float scale) {
    if (e.kind == collada::TransformKind::Matrix) return CollectMatrixKeys(list, e, h, scale);
    bool translate = e.kind == collada::TransformKind::Translate;
    if (!translate && e.kind != collada::TransformKind::Rotate) return;
    for (size_t j = 0; j < 4; ++j)
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

// A joint animated only by rotations (as exporters write a skeleton whose bones keep their
// lengths) stays where its node puts it: its static translation, not its parent's origin.
std::optional<Vector4> RestTranslation(const collada::Node& node, float scale) {
    for (const collada::Transform& e : node.transforms)
        if ((e.kind == collada::TransformKind::Translate || e.kind == collada::TransformKind::Matrix) &&
            e.IsAnimated())
            return std::nullopt;
    const collada::Matrix4 local = node.LocalTransform();
    return Vector4{local.At(0, 3) * scale, local.At(1, 3) * scale, -local.At(2, 3) * scale, 1};
}

// Static rotations beside animated ones (a joint's orientation before its animated rotation)
// take part in every key, in element order.
void AddStaticRotations(KeyFrameList& list, const collada::Node& node) {
    for (size_t h = 0; h < node.transforms.size(); ++h) {
        const collada::Transform& e = node.transforms[h];
        if (e.kind != collada::TransformKind::Rotate || e.IsAnimated() || e.values[3] == 0) continue;
        for (const auto& [time, entry] : list) {
            KeyFrameRecord& r = entry->Record(static_cast<uint32_t>(h));
            r.kind = KeyFrameRecord::kRotation;
            r.axisX = e.values[0], r.axisY = e.values[1], r.axisZ = e.values[2], r.angle = e.values[3];
        }
    }
}

// A right-handed quaternion of the document turned into the system's frame (the z mirror).
Quaternion ConvertedRotation(const float* q) {
    return {-q[0], -q[1], q[2], q[3]};
}

// One key of curve k from a merged entry. `frame`, for a joint without a parent joint, turns the
// key from the document's up axis to Y; `rest` is the translation of an entry without one.
void StoreEntry(MzMotionData& data, uint32_t k, const KeyFrameEntry& entry, const collada::Matrix4* frame,
                const Vector4* rest) {
    float t[3] = {0, 0, 0};
    bool translated = rest != nullptr;
    Vector4 translation = rest ? *rest : kVec4Origin;
    if (rest) t[0] = rest->x, t[1] = rest->y, t[2] = -rest->z;
    Quaternion q;
    for (const auto& [h, r] : entry.Records()) {
        if (r.kind == KeyFrameRecord::kTranslation || r.kind == KeyFrameRecord::kMatrix) {
            t[0] = r.x, t[1] = r.y, t[2] = r.z;
            translation = {r.x, r.y, -r.z, r.w};
            translated = true;
        }
        if (r.kind == KeyFrameRecord::kRotation)
            q = Multiply(q, RecordRotation(r));
        else if (r.kind == KeyFrameRecord::kMatrix)
            q = Multiply(q, ConvertedRotation(r.rotation));
    }
    if (frame) {
        float turned[3], rotation[4];
        frame->TransformDirection(t, turned);
        if (translated) translation = {turned[0], turned[1], -turned[2], translation.w};
        MatrixRotation(frame->m.data(), rotation);
        q = Multiply(ConvertedRotation(rotation), q);
    }
    if (k >= data.curveCount) return;
    MzMotionKeyFrame* key = data.curves[k].AddKey(entry.time);
    key->translation = translation;
    key->rotation = q;
    if (entry.time > data.length) data.length = entry.time;
}

uint32_t JointPosition(const MzModel& model, const MzJoint* joint) {
    int position = model.joints.IndexOf(const_cast<MzJoint*>(joint));
    return position < 0 ? 0 : static_cast<uint32_t>(position);
}

} // namespace

// ---- Model -------------------------------------------------------------------------

namespace {

// The turn from the document's up axis to Y, when the document's axes are honoured and differ.
std::optional<collada::Matrix4> DocumentFrame(const collada::Document& doc, const MzColladaOptions& options) {
    if (!options.documentAxes || doc.Up() == collada::UpAxis::Y) return std::nullopt;
    collada::Matrix4 turn;
    if (doc.Up() == collada::UpAxis::Z)
        turn.m = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    else
        turn.m = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return turn;
}

float DocumentScale(const collada::Document& doc, const MzColladaOptions& options, float scale) {
    return options.documentAxes ? scale * doc.UnitMeters() : scale;
}

// The document of the last model import, kept for a motion import of the same unchanged file
// (a character whose model document also holds its motion) so that it is parsed once. The next
// motion import takes it or drops it, so at most one document outlives its import.
class LastModelDocument {
  public:
    void Keep(const std::string& path, std::unique_ptr<collada::Document> doc) {
        std::lock_guard lock(mutex_);
        path_ = path;
        stamp_ = Stamp(path);
        doc_ = std::move(doc);
    }

    std::unique_ptr<collada::Document> Take(const std::string& path) {
        std::lock_guard lock(mutex_);
        std::unique_ptr<collada::Document> doc = std::move(doc_);
        if (!doc || path != path_ || Stamp(path) != stamp_) return nullptr;
        return doc;
    }

  private:
    using FileStamp = std::pair<std::filesystem::file_time_type, std::uintmax_t>;

    static FileStamp Stamp(const std::string& path) {
        std::error_code ec;
        auto time = std::filesystem::last_write_time(path, ec);
        auto size = std::filesystem::file_size(path, ec);
        return {time, ec ? 0 : size};
    }

    std::mutex mutex_;
    std::string path_;
    FileStamp stamp_;
    std::unique_ptr<collada::Document> doc_;
};

LastModelDocument g_lastModelDocument;

std::string DirectoryOf(const std::string& path) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(path, ec);
    return ec ? std::string(".") : abs.parent_path().string();
}

} // namespace

bool MzColladaReader::ReadModel(const std::string& path, MzModel& model, float scale,
                                std::vector<std::string>* diagnostics, const MzColladaOptions& options,
                                std::vector<std::string>* primMaterials) {
    MzSetMessageText("モデルの読込中(%s)\n", path.c_str());
    MzShowMessageWindow();
    auto kept = std::make_unique<collada::Document>();
    collada::Document& doc = *kept;
    bool loaded = doc.Load(path);
    if (diagnostics) *diagnostics = doc.Diagnostics();
    if (primMaterials) primMaterials->clear();
    if (!loaded) {
        ReportUnreadable(path);
    } else {
        model.Clear();
        const std::optional<collada::Matrix4> frame = DocumentFrame(doc, options);
        MzColladaScene scene{model,
                             DocumentScale(doc, options, scale),
                             doc,
                             DirectoryOf(path),
                             frame ? &*frame : nullptr,
                             primMaterials,
                             {},
                             {},
                             {},
                             0,
                             false};
        // Joints first, so that a skin finds its joints wherever its instance stands in the scene.
        MzColladaWalk joints, meshes;
        joints.Run(
            doc.SceneRoot(), static_cast<MzJoint*>(nullptr),
            [&](const MzColladaVisit& visit, MzJoint* parent) { return ReadNode(scene, visit, parent); },
            scene.frame);
        meshes.Run(
            doc.SceneRoot(), 0,
            [&](const MzColladaVisit& visit, int) {
                ReadInstances(scene, visit);
                return 0;
            },
            scene.frame);
        joints.Report(diagnostics);
        if (scene.truncated && diagnostics)
            diagnostics->push_back("more than " + std::to_string(kMaxModelTriangles) +
                                   " triangles; the polygon sets past them are not built");
        model.ComputeBounds();
        g_lastModelDocument.Keep(path, std::move(kept));
    }
    MzHideMessageWindow();
    return loaded;
}

// A joint node becomes a joint, child of the joint of its parent node when that is one.
MzJoint* MzColladaReader::ReadNode(MzColladaScene& scene, const MzColladaVisit& visit, MzJoint* parentJoint) {
    const collada::Node* node = visit.node;
    if (!node->isJoint) return nullptr;
    MzJoint* joint = scene.model.CreateJoint();
    joint->name = node->name;
    if (parentJoint) joint->SetParent(parentJoint);
    const collada::Matrix4 world = visit.World();
    Matrix4x4 bind = ColladaBindMatrix(world, scene.scale, ColladaHalfTurn());
    joint->SetMatrix(bind);
    joint->SetOffsetMatrix(bind);
    scene.nodeJoints.try_emplace(node, joint);
    scene.jointWorlds.emplace(joint, world);
    return joint;
}

void MzColladaReader::ReadInstances(MzColladaScene& scene, const MzColladaVisit& visit) {
    for (const collada::Instance& instance : visit.node->instances) {
        if (instance.kind == collada::InstanceKind::Geometry)
            BuildMesh(scene, instance.geometry, nullptr, instance, visit.World());
        else if (instance.kind == collada::InstanceKind::Controller)
            BuildMesh(scene, instance.controller ? instance.controller->BaseGeometry() : nullptr,
                      instance.controller, instance, visit.World());
    }
}

// ---- Motion ------------------------------------------------------------------------

bool MzColladaReader::ReadMotion(const std::string& path, MzMotionData& data, const MzModel& model,
                                 float scale, std::vector<std::string>* diagnostics,
                                 const MzColladaOptions& options) {
    MzSetMessageText("モーションの読込中(%s)\n", path.c_str());
    MzShowMessageWindow();
    std::unique_ptr<collada::Document> parsed = g_lastModelDocument.Take(path);
    const bool loaded = parsed || (parsed = std::make_unique<collada::Document>())->Load(path);
    const collada::Document& doc = *parsed;
    if (diagnostics) *diagnostics = doc.Diagnostics();
    if (!loaded) ReportUnreadable(path);
    data.AllocateCurves(model);
    const std::optional<collada::Matrix4> frame = DocumentFrame(doc, options);
    const float documentScale = DocumentScale(doc, options, scale);
    MzColladaWalk walk;
    // The context says whether the parent node is a joint: the keys of a joint that has none are
    // the ones the document's frame turns.
    walk.Run(doc.SceneRoot(), false, [&](const MzColladaVisit& visit, bool parentIsJoint) {
        ReadMotionNode(model, data, documentScale, visit, parentIsJoint || !frame ? nullptr : &*frame);
        return visit.node->isJoint;
    });
    walk.Report(diagnostics);
    if (!model.joints.Empty()) ResolveRotations(model, data, nullptr, model.joints[0]);
    MzHideMessageWindow();
    return loaded;
}

void MzColladaReader::ReadMotionNode(const MzModel& model, MzMotionData& data, float scale,
                                     const MzColladaVisit& visit, const collada::Matrix4* frame) {
    const collada::Node* node = visit.node;
    if (!node->isJoint) return;
    uint32_t k = JointPosition(model, model.FindJoint(node->name));
    KeyFrameList list;
    for (size_t h = 0; h < node->transforms.size(); ++h)
        CollectElementKeys(list, node->transforms[h], static_cast<uint32_t>(h), scale);
    AddStaticRotations(list, *node);
    const std::optional<Vector4> rest = RestTranslation(*node, scale);
    for (const auto& [time, entry] : list)
        StoreEntry(data, k, *entry, frame, rest ? &*rest : nullptr);
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
