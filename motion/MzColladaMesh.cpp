// Prims of one mesh instance: materials, textures, fan triangulation and skin blend data.
//
// Every polygon set becomes a triangle list in which each triangle has three vertices of its
// own (format 3). A face with corners q1 ... qn gives the fan (q1, q2, q3), (q1, q3, q4), ...,
// stored in that order and drawn through reversed indices. Indices are 16-bit, so a set with
// more triangles than one prim can address continues in further prims with the same material.
#include "MzColladaReader.h"

#include "ColladaObjects.h"
#include "MzColladaConvert.h"
#include "MzGraphics.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzVertexFormat.h"

#include <cstring>

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

// The model joint each skin joint names: its position in `model.joints`, 0 when no joint has that
// name or the position cannot be addressed by a blend index byte.
std::vector<uint8_t> JointPalette(const collada::Skin& skin, const MzModel& model) {
    std::vector<uint8_t> palette;
    palette.reserve(skin.jointNames.size());
    for (const std::string& name : skin.jointNames) {
        int position = model.joints.IndexOf(model.FindJoint(name));
        palette.push_back(position >= 0 && position < 256 ? static_cast<uint8_t>(position) : 0);
    }
    return palette;
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
std::vector<VertexBlend> BlendTable(const collada::Skin& skin, const MzModel& model) {
    std::vector<uint8_t> palette = JointPalette(skin, model);
    std::vector<VertexBlend> table;
    table.reserve(skin.InfluenceListCount());
    for (size_t p = 0; p < skin.InfluenceListCount(); ++p)
        table.push_back(ReduceInfluences(skin.InfluencesBegin(p), skin.InfluencesEnd(p), palette));
    return table;
}

const collada::Material* MaterialOf(const collada::PolygonSet& set,
                                    const std::vector<const collada::Material*>& materials) {
    for (const collada::Material* m : materials)
        if (m->id == set.material) return m;
    return nullptr;
}

Vector4 Opaque(const collada::Color& c) {
    return {c.r, c.g, c.b, 1};
}

// Textures from every sampler of every COMMON profile into the prim's free slots; the material
// from the last profile.
void ApplyMaterial(MzPrim& prim, MzModel& model, const collada::Material& material) {
    if (!material.effect) return;
    MzGrpDevice* device = g_graphics ? &g_graphics->device : nullptr;
    int slot = 0;
    for (const collada::CommonProfile& profile : material.effect->commonProfiles) {
        for (const collada::Sampler& sampler : profile.samplers)
            for (const collada::Image* image : sampler.images) {
                if (slot == kPrimTextureSlots) break;
                auto* texture = new MzTexture;
                model.textures.Add(texture);
                texture->CreateFromFile(device, image->path);
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

void SetSlot(Slot& slot, InputUse use, const float* v, uint32_t stride, uint32_t index, float scale,
             const Matrix4x4& halfTurn) {
    float value[3] = {0, 0, 0};
    if (v) std::memcpy(value, v, std::min<uint32_t>(stride, 3) * sizeof(float));
    switch (use) {
    case InputUse::Position:
        slot.position = ColladaPosition(halfTurn, value, scale);
        slot.positionIndex = index;
        break;
    case InputUse::Normal:
        slot.normal = ColladaNormal(halfTurn, value);
        break;
    case InputUse::TexCoord:
        slot.uv[0] = value[0];
        slot.uv[1] = 1.0f - value[1];
        break;
    case InputUse::Ignored:
        break;
    }
}

void EmitTriangles(const collada::PolygonSet& set, TriangleWriter& writer, float scale,
                   const std::vector<VertexBlend>* blends) {
    const Matrix4x4 halfTurn = ColladaHalfTurn();
    std::vector<InputUse> uses;
    for (const collada::Input& input : set.inputs)
        uses.push_back(UseOf(input));
    size_t c = 0;
    for (uint32_t n : set.vertexCounts) {
        if (n < 3) {
            c += n;
            continue;
        }
        Slot slots[3];
        int k = 0;
        for (uint32_t corner = 0; corner < n; ++corner, ++c) {
            for (size_t i = 0; i < set.inputs.size(); ++i) {
                if (uses[i] == InputUse::Ignored) continue;
                const collada::Input& input = set.inputs[i];
                uint32_t index = set.Index(input, c);
                const float* v = input.source ? input.source->Value(index) : nullptr;
                SetSlot(slots[k], uses[i], v, input.source ? input.source->stride : 0, index, scale,
                        halfTurn);
            }
            if (k < 2) {
                ++k;
                continue;
            }
            writer.Emit(slots, blends);
            slots[1] = slots[2];
        }
    }
}

} // namespace

void MzColladaReader::BuildMesh(const collada::Geometry* geometry, MzModel& model, float scale,
                                const collada::Controller* controller,
                                const std::vector<const collada::Material*>& materials) {
    if (!geometry) {
        MzErrorBox("MzColladaReader", "geom==NULL");
        return;
    }
    std::vector<VertexBlend> blendTable;
    const bool skinned = controller && controller->hasSkin;
    if (skinned) blendTable = BlendTable(controller->skin, model);
    for (const collada::PolygonSet& set : geometry->mesh.polygonSets) {
        const collada::Material* material = MaterialOf(set, materials);
        if (set.kind != collada::PrimitiveKind::Polygons) continue;
        uint64_t triangles = TriangleCount(set);
        std::vector<MzPrim*> prims;
        for (uint64_t first = 0; first < triangles; first += kMaxPrimTriangles) {
            auto count = static_cast<uint32_t>(std::min<uint64_t>(triangles - first, kMaxPrimTriangles));
            auto* prim = new MzPrim;
            prim->flags |= kPrimInModel;
            model.prims.Add(prim);
            prim->Create(count, 3 * count);
            prim->renderState.twoSided = true;
            if (material) ApplyMaterial(*prim, model, *material);
            prims.push_back(prim);
        }
        if (prims.empty()) continue;
        TriangleWriter writer(prims);
        EmitTriangles(set, writer, scale, skinned ? &blendTable : nullptr);
    }
}
