// Prims of one mesh instance: materials, textures, triangulation and skin blend data.
//
// Every polygon set becomes a triangle list in which each triangle has three vertices of its
// own (format 3). A convex face with corners q1 ... qn gives the fan (q1, q2, q3), (q1, q3, q4),
// ..., stored in that order and drawn through reversed indices; a concave face is cut into ears
// in the same order, wherever the fan's next triangle would leave the face. Strips alternate
// their winding so that all their triangles face one way. Indices are 16-bit, so a set with more
// triangles than one prim can address continues in further prims with the same material.
#include "MzColladaReader.h"

#include "ColladaObjects.h"
#include "MzColladaConvert.h"
#include "MzColladaScene.h"
#include "MzColladaWalk.h"
#include "MzGraphics.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzVertexFormat.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>

namespace {

// What a vertex carries for skinning: three weights and four joint index bytes.
struct VertexBlend {
    float weights[3] = {0, 0, 0};
    uint8_t indices[4] = {0, 0, 0, 0};
};

constexpr VertexBlend kUnskinned{{1, 0, 0}, {0, 0, 0, 0}};

// The face-vertex state of the triangulation.
struct Slot {
    Vector4 position{0, 0, 0, 1};
    Vector4 normal{0, 0, 0, 1};
    float uv[2] = {0, 0};
    uint32_t positionIndex = UINT32_MAX;
};

enum class InputUse { Position, Normal, TexCoord, Ignored };

InputUse UseOf(const collada::Input& input) {
    if (input.semantic == "POSITION") return InputUse::Position;
    if (input.semantic == "NORMAL") return InputUse::Normal;
    if (input.semantic == "TEXCOORD") return InputUse::TexCoord;
    return InputUse::Ignored;
}

// The joints under the instance's skeleton roots by their nodes' sids; the first of equal sids wins.
std::unordered_map<std::string_view, MzJoint*> SkeletonJoints(const MzColladaScene& scene,
                                                              const collada::Instance& instance) {
    std::unordered_map<std::string_view, MzJoint*> bySid;
    for (const collada::Node* root : instance.skeletons) {
        MzColladaWalk walk;
        walk.Run(root, 0, [&](const MzColladaVisit& visit, int) {
            auto joint = scene.nodeJoints.find(visit.node);
            if (!visit.node->sid.empty() && joint != scene.nodeJoints.end())
                bySid.emplace(visit.node->sid, joint->second);
            return 0;
        });
    }
    return bySid;
}

// The joint each skin joint names: the joint node of that sid under the instance's `skeleton`,
// else the joint node of that id, else the joint of that name; null when none.
std::vector<MzJoint*> SkinJoints(const MzColladaScene& scene, const collada::Skin& skin,
                                 const collada::Instance& instance) {
    std::unordered_map<std::string_view, MzJoint*> bySid = SkeletonJoints(scene, instance);
    std::vector<MzJoint*> joints;
    joints.reserve(skin.jointNames.size());
    for (const std::string& name : skin.jointNames) {
        if (auto sid = bySid.find(name); sid != bySid.end()) {
            joints.push_back(sid->second);
            continue;
        }
        auto node = scene.nodeJoints.find(scene.document.FindNode(name));
        joints.push_back(node != scene.nodeJoints.end() ? node->second : scene.model.FindJoint(name));
    }
    return joints;
}

// Each joint's position in `model.joints`, 0 when there is no joint or the position cannot be
// addressed by a blend index byte.
std::vector<uint8_t> JointPalette(const std::vector<MzJoint*>& joints, const MzModel& model) {
    std::vector<uint8_t> palette;
    palette.reserve(joints.size());
    for (MzJoint* joint : joints) {
        int position = joint ? model.joints.IndexOf(joint) : -1;
        palette.push_back(position >= 0 && position < 256 ? static_cast<uint8_t>(position) : 0);
    }
    return palette;
}

// Where a skin's inverse bind matrix puts a joint elsewhere than its node in the scene, the
// skin's bind pose is the joint's bind matrix; the scene's pose stays its current pose.
void RebindJoints(MzColladaScene& scene, const collada::Skin& skin, const std::vector<MzJoint*>& joints) {
    if (skin.inverseBindMatrices.size() != joints.size()) return;
    const Matrix4x4 halfTurn = ColladaHalfTurn();
    for (size_t j = 0; j < joints.size(); ++j) {
        MzJoint* joint = joints[j];
        if (!joint || scene.rebound.count(joint)) continue;
        auto world = scene.jointWorlds.find(joint);
        if (world == scene.jointWorlds.end()) continue;
        collada::Matrix4 bind = collada::Inverse(skin.inverseBindMatrices[j]);
        if (scene.frame) bind = *scene.frame * bind;
        float size = 1;
        for (float v : world->second.m)
            size = std::max(size, std::fabs(v));
        if (!(collada::MaxDifference(bind, world->second) > 1e-4f * size)) continue;
        scene.rebound.insert(joint);
        joint->SetMatrix(ColladaBindMatrix(bind, scene.scale, halfTurn));
    }
}

// At most four influences: the first four pairs, then each later pair replaces the first kept one
// that weighs strictly less; what the kept weights lack to 1 goes to the smallest of them.
VertexBlend ReduceInfluences(const collada::Influence* begin, const collada::Influence* end,
                             const std::vector<uint8_t>& palette) {
    collada::Influence kept[4];
    int count = 0;
    for (const collada::Influence* pair = begin; pair != end; ++pair) {
        if (count < 4) {
            kept[count++] = *pair;
            continue;
        }
        for (collada::Influence& k : kept)
            if (k.weight < pair->weight) {
                k = *pair;
                break;
            }
    }
    float sum = 0;
    int smallest = 0;
    for (int b = 0; b < count; ++b) {
        sum += kept[b].weight;
        if (kept[b].weight < kept[smallest].weight) smallest = b;
    }
    if (count > 0 && sum < 1.0f) kept[smallest].weight += 1.0f - sum;
    VertexBlend blend;
    for (int b = 0; b < count; ++b) {
        if (b < 3) blend.weights[b] = kept[b].weight;
        blend.indices[b] = palette[kept[b].joint];
    }
    return blend;
}

// The blend data of every position index of the skin, computed once per mesh.
std::vector<VertexBlend> BlendTable(const collada::Skin& skin, const std::vector<uint8_t>& palette) {
    std::vector<VertexBlend> table;
    table.reserve(skin.InfluenceListCount());
    for (size_t p = 0; p < skin.InfluenceListCount(); ++p)
        table.push_back(ReduceInfluences(skin.InfluencesBegin(p), skin.InfluencesEnd(p), palette));
    return table;
}

// The material bound to the set's `material` symbol, else the bound material of that id.
const collada::Material* MaterialOf(const collada::PolygonSet& set, const collada::Instance& instance) {
    for (size_t i = 0; i < instance.materials.size() && i < instance.symbols.size(); ++i)
        if (instance.symbols[i] == set.material) return instance.materials[i];
    for (const collada::Material* m : instance.materials)
        if (m->id == set.material) return m;
    return nullptr;
}

// The image's path, or the file of that name beside the document when the path names nothing
// (a path that was absolute on the machine that wrote the document).
std::string TexturePath(const collada::Image& image, const std::string& directory) {
    std::error_code ec;
    if (image.path.empty() || std::filesystem::exists(image.path, ec)) return image.path;
    size_t slash = image.path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? image.path : image.path.substr(slash + 1);
    std::filesystem::path beside = std::filesystem::path(directory) / name;
    return std::filesystem::exists(beside, ec) ? beside.string() : image.path;
}

Vector4 Opaque(const collada::Color& c) {
    return {c.r, c.g, c.b, 1};
}

// Textures from every sampler of every COMMON profile into the prim's free slots; the material
// from the last profile.
void ApplyMaterial(MzPrim& prim, MzModel& model, const collada::Material& material, const std::string& directory) {
    if (!material.effect) return;
    MzGrpDevice* device = g_graphics ? &g_graphics->device : nullptr;
    int slot = 0;
    for (const collada::CommonProfile& profile : material.effect->commonProfiles) {
        for (const collada::Sampler& sampler : profile.samplers)
            for (const collada::Image* image : sampler.images) {
                if (slot == kPrimTextureSlots) break;
                auto* texture = new MzTexture;
                model.textures.Add(texture);
                texture->CreateFromFile(device, TexturePath(*image, directory));
                prim.textures[slot++] = texture;
            }
        prim.material.diffuse = Opaque(profile.diffuse);
        prim.material.ambient = Opaque(profile.ambient);
        prim.material.specular = Opaque(profile.specular);
        prim.material.emissive = Opaque(profile.emission);
        prim.material.power = profile.specLevel;
        prim.material.transparency = 1.0f - profile.diffuse.a;
    }
}

uint64_t TriangleCount(const collada::PolygonSet& set) {
    uint64_t triangles = 0;
    for (uint32_t n : set.vertexCounts)
        if (n >= 3) triangles += n - 2;
    return triangles;
}

// Writes triangle after triangle into the prims, kMaxPrimTriangles to a prim.
class TriangleWriter {
  public:
    explicit TriangleWriter(const std::vector<MzPrim*>& prims) : prims_(prims) {
        for (MzPrim* prim : prims_)
            prim->Lock();
    }
    ~TriangleWriter() {
        for (MzPrim* prim : prims_)
            prim->Unlock();
    }

    void Emit(const Slot (&slots)[3], const std::vector<VertexBlend>* blends) {
        MzPrim* prim = prims_[next_ / kMaxPrimTriangles];
        uint32_t t = static_cast<uint32_t>(next_ % kMaxPrimTriangles);
        ++next_;
        if (!prim->lockedVertices || !prim->lockedIndices) return;
        for (uint32_t j = 0; j < 3; ++j) {
            uint8_t* v = prim->lockedVertices + size_t{3 * t + j} * static_cast<size_t>(format_->stride);
            WriteVertex(v, slots[j], blends);
            prim->lockedIndices[3 * t + j] = static_cast<uint16_t>(3 * t + 2 - j);
        }
    }

  private:
    void WriteVertex(uint8_t* v, const Slot& s, const std::vector<VertexBlend>* blends) const {
        std::memcpy(v + format_->position, &s.position, 3 * sizeof(float));
        std::memcpy(v + format_->normal, &s.normal, 3 * sizeof(float));
        std::memcpy(v + format_->texCoord0, s.uv, 2 * sizeof(float));
        const VertexBlend* blend = &kUnskinned;
        if (blends) {
            if (s.positionIndex >= blends->size()) return; // no influence list: left zero
            blend = &(*blends)[s.positionIndex];
        }
        std::memcpy(v + format_->blendWeights, blend->weights, sizeof blend->weights);
        std::memcpy(v + format_->blendIndices, blend->indices, sizeof blend->indices);
    }

    const std::vector<MzPrim*>& prims_;
    const MzVertexFormat* format_ = MzGetVertexFormat(kSkinnedVertexFormat);
    uint64_t next_ = 0;
};

// Where an instance puts its geometry: positions through the matrix, normals through its inverse
// transpose (keeping their length). Without a matrix values stay as the document gives them.
struct Placement {
    const collada::Matrix4* matrix = nullptr;
    collada::Matrix4 normalMatrix;

    explicit Placement(const collada::Matrix4& m) {
        if (m.IsIdentity()) return;
        matrix = &m;
        collada::Matrix4 inverse = collada::Inverse(m);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                normalMatrix.At(r, c) = inverse.At(c, r);
    }

    void Position(float* v) const {
        if (!matrix) return;
        float in[3] = {v[0], v[1], v[2]};
        matrix->TransformPoint(in, v);
    }

    void Normal(float* v) const {
        if (!matrix) return;
        float in[3] = {v[0], v[1], v[2]};
        normalMatrix.TransformDirection(in, v);
        float before = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2]);
        float after = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (after > 0)
            for (int i = 0; i < 3; ++i)
                v[i] *= before / after;
    }
};

struct SlotInputs {
    const collada::PolygonSet& set;
    std::vector<InputUse> uses;
    float scale;
    Matrix4x4 halfTurn = ColladaHalfTurn();
    const Placement& placement;
};

void SetSlot(Slot& slot, const SlotInputs& in, InputUse use, const float* v, uint32_t stride, uint32_t index) {
    float value[3] = {0, 0, 0};
    if (v) std::memcpy(value, v, std::min<uint32_t>(stride, 3) * sizeof(float));
    switch (use) {
    case InputUse::Position:
        in.placement.Position(value);
        slot.position = ColladaPosition(in.halfTurn, value, in.scale);
        slot.positionIndex = index;
        break;
    case InputUse::Normal:
        in.placement.Normal(value);
        slot.normal = ColladaNormal(in.halfTurn, value);
        break;
    case InputUse::TexCoord:
        slot.uv[0] = value[0];
        slot.uv[1] = 1.0f - value[1];
        break;
    case InputUse::Ignored:
        break;
    }
}

// The slot of face corner c: every used input's value at c.
Slot CornerSlot(const SlotInputs& in, size_t c) {
    Slot slot;
    for (size_t i = 0; i < in.set.inputs.size(); ++i) {
        if (in.uses[i] == InputUse::Ignored) continue;
        const collada::Input& input = in.set.inputs[i];
        uint32_t index = in.set.Index(input, c);
        const float* v = input.source ? input.source->Value(index) : nullptr;
        SetSlot(slot, in, in.uses[i], v, input.source ? input.source->stride : 0, index);
    }
    return slot;
}

// ---- Ear clipping ----

struct Point2 {
    float x, y;
};

float Cross(Point2 a, Point2 b, Point2 c) {
    return (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
}

// The corners projected on the plane that the face's normal (Newell's) is most upright to, or
// nothing when the face is not flat: which diagonal a warped face should take is not defined by
// its outline, so it keeps its fan.
std::vector<Point2> ProjectFlat(const std::vector<Slot>& corners) {
    float n[3] = {0, 0, 0}, centre[3] = {0, 0, 0};
    for (size_t i = 0; i < corners.size(); ++i) {
        const Vector4& a = corners[i].position;
        const Vector4& b = corners[(i + 1) % corners.size()].position;
        n[0] += (a.y - b.y) * (a.z + b.z);
        n[1] += (a.z - b.z) * (a.x + b.x);
        n[2] += (a.x - b.x) * (a.y + b.y);
        centre[0] += a.x, centre[1] += a.y, centre[2] += a.z;
    }
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0)) return {};
    float extent = 0, warp = 0;
    for (const Slot& s : corners) {
        const float d[3] = {s.position.x - centre[0] / corners.size(), s.position.y - centre[1] / corners.size(),
                            s.position.z - centre[2] / corners.size()};
        extent = std::max(extent, std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
        warp = std::max(warp, std::fabs(d[0] * n[0] + d[1] * n[1] + d[2] * n[2]) / length);
    }
    if (warp > 1e-3f * extent) return {};
    int drop = std::fabs(n[0]) > std::fabs(n[1]) ? 0 : 1;
    if (std::fabs(n[2]) > std::fabs(n[drop])) drop = 2;
    std::vector<Point2> points;
    points.reserve(corners.size());
    for (const Slot& s : corners) {
        const float p[3] = {s.position.x, s.position.y, s.position.z};
        float u = p[(drop + 1) % 3], v = p[(drop + 2) % 3];
        points.push_back(n[drop] < 0 ? Point2{v, u} : Point2{u, v}); // counter-clockwise
    }
    return points;
}

// Convex unless a corner turns the wrong way by more than rounding: a nearly straight or
// nearly flat corner keeps the fan that such faces have always had.
bool Convex(const std::vector<Point2>& p) {
    float minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (const Point2& q : p) {
        minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
    }
    const float extent = std::max(maxX - minX, maxY - minY);
    const float tolerance = 1e-3f * extent * extent;
    for (size_t i = 0; i < p.size(); ++i)
        if (Cross(p[i], p[(i + 1) % p.size()], p[(i + 2) % p.size()]) < -tolerance) return false;
    return true;
}

bool Inside(Point2 p, Point2 a, Point2 b, Point2 c) {
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

// Ear tests one import may spend on concave faces; past it (a hostile document) faces are fanned.
constexpr uint64_t kEarTestBudget = uint64_t{1} << 26;
constexpr size_t kMaxEarClippedCorners = 256;

// The triangles of a face as corner triples, in fan order where the face allows it.
void Triangulate(const std::vector<Point2>& p, std::vector<uint32_t>& out, uint64_t& budget) {
    std::vector<uint32_t> left(p.size());
    for (uint32_t i = 0; i < left.size(); ++i)
        left[i] = i;
    size_t j = 1;
    for (size_t misses = 0; left.size() > 3 && misses < left.size() && budget > left.size();) {
        uint32_t a = left[j - 1], b = left[j], c = left[(j + 1) % left.size()];
        bool ear = Cross(p[a], p[b], p[c]) > 0;
        budget -= left.size();
        for (size_t k = 0; ear && k < left.size(); ++k) {
            uint32_t q = left[k];
            ear = q == a || q == b || q == c || !Inside(p[q], p[a], p[b], p[c]);
        }
        if (!ear) {
            j = j + 1 < left.size() ? j + 1 : 1;
            ++misses;
            continue;
        }
        out.insert(out.end(), {a, b, c});
        left.erase(left.begin() + static_cast<std::ptrdiff_t>(j));
        j = j > 1 ? j - 1 : 1;
        misses = 0;
    }
    for (size_t k = 1; k + 1 < left.size(); ++k)
        out.insert(out.end(), {left[0], left[k], left[k + 1]});
}

// ---- Faces ----

class FaceEmitter {
  public:
    FaceEmitter(const SlotInputs& in, TriangleWriter& writer, const std::vector<VertexBlend>* blends)
        : in_(in), writer_(writer), blends_(blends) {}

    void Face(size_t first, uint32_t n) {
        corners_.clear();
        for (uint32_t k = 0; k < n; ++k)
            corners_.push_back(CornerSlot(in_, first + k));
        if (in_.set.kind == collada::PrimitiveKind::TriStrips) return Strip();
        if (n > 3 && in_.set.kind == collada::PrimitiveKind::Polygons && n <= kMaxEarClippedCorners) {
            std::vector<Point2> points = ProjectFlat(corners_);
            if (!points.empty() && !Convex(points)) {
                triangles_.clear();
                Triangulate(points, triangles_, earBudget_);
                for (size_t t = 0; t + 2 < triangles_.size(); t += 3)
                    Emit(triangles_[t], triangles_[t + 1], triangles_[t + 2]);
                return;
            }
        }
        for (uint32_t k = 1; k + 1 < n; ++k)
            Emit(0, k, k + 1);
    }

  private:
    // Every other triangle of a strip is turned round so that all face the way the first does.
    void Strip() {
        for (uint32_t k = 0; k + 2 < corners_.size(); ++k)
            if (k % 2 == 0)
                Emit(k, k + 1, k + 2);
            else
                Emit(k + 1, k, k + 2);
    }

    void Emit(uint32_t a, uint32_t b, uint32_t c) {
        const Slot slots[3] = {corners_[a], corners_[b], corners_[c]};
        writer_.Emit(slots, blends_);
    }

    const SlotInputs& in_;
    TriangleWriter& writer_;
    const std::vector<VertexBlend>* blends_;
    std::vector<Slot> corners_;
    std::vector<uint32_t> triangles_;
    uint64_t earBudget_ = kEarTestBudget;
};

void EmitTriangles(const collada::PolygonSet& set, TriangleWriter& writer, float scale,
                   const std::vector<VertexBlend>* blends, const Placement& placement) {
    SlotInputs in{set, {}, scale, ColladaHalfTurn(), placement};
    for (const collada::Input& input : set.inputs)
        in.uses.push_back(UseOf(input));
    FaceEmitter faces(in, writer, blends);
    size_t c = 0;
    for (uint32_t n : set.vertexCounts) {
        if (n >= 3) faces.Face(c, n);
        c += n;
    }
}

bool BuildsTriangles(collada::PrimitiveKind kind) {
    return kind == collada::PrimitiveKind::Polygons || kind == collada::PrimitiveKind::TriFans ||
           kind == collada::PrimitiveKind::TriStrips;
}

} // namespace

void MzColladaReader::BuildMesh(MzColladaScene& scene, const collada::Geometry* geometry,
                                const collada::Controller* controller, const collada::Instance& instance,
                                const collada::Matrix4& placement) {
    if (!geometry) {
        MzErrorBox("MzColladaReader", "geom==NULL");
        return;
    }
    std::vector<VertexBlend> blendTable;
    const bool skinned = controller && controller->hasSkin;
    collada::Matrix4 where = placement;
    if (skinned) {
        // A skin is placed by its bind shape (and the document's frame), not by its node.
        where = scene.frame ? *scene.frame * controller->skin.bindShape : controller->skin.bindShape;
        std::vector<MzJoint*> joints = SkinJoints(scene, controller->skin, instance);
        RebindJoints(scene, controller->skin, joints);
        blendTable = BlendTable(controller->skin, JointPalette(joints, scene.model));
    }
    const Placement place(where);
    MzModel& model = scene.model;
    for (const collada::PolygonSet& set : geometry->mesh.polygonSets) {
        const collada::Material* material = MaterialOf(set, instance);
        if (!BuildsTriangles(set.kind)) continue;
        uint64_t triangles = TriangleCount(set);
        std::vector<MzPrim*> prims;
        for (uint64_t first = 0; first < triangles; first += kMaxPrimTriangles) {
            auto count = static_cast<uint32_t>(std::min<uint64_t>(triangles - first, kMaxPrimTriangles));
            auto* prim = new MzPrim;
            prim->flags |= kPrimInModel;
            model.prims.Add(prim);
            prim->Create(count, 3 * count);
            prim->renderState.twoSided = true;
            if (material) ApplyMaterial(*prim, model, *material, scene.directory);
            if (scene.primMaterials) scene.primMaterials->push_back(material ? material->id : std::string());
            prims.push_back(prim);
        }
        if (prims.empty()) continue;
        TriangleWriter writer(prims);
        EmitTriangles(set, writer, scene.scale, skinned ? &blendTable : nullptr, place);
    }
}
