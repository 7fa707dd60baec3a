// Builds a Document from the libxml2 tree of a COLLADA file.
//
// The libraries are read in dependency order (images, effects, materials, geometries,
// controllers, nodes, visual scenes, animations, scene) so that every reference can be resolved
// the moment it is read; only references between nodes (`instance_node`, `skeleton`) wait until
// all nodes are read. Element names are compared without namespaces.
#include "ColladaDocument.h"
#include "ColladaText.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

namespace collada {

namespace {

// Files above this size are refused before parsing: no character is that large.
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;
// Input offsets above this cannot be real interleaving; they would only inflate strides.
constexpr uint32_t kMaxInputOffset = 1u << 16;

// ---- Tree access ---------------------------------------------------------------

bool Is(const xmlNode* n, const char* name) {
    return std::strcmp(reinterpret_cast<const char*>(n->name), name) == 0;
}

// Iterates the element children of a node.
struct Elements {
    const xmlNode* parent;
    struct It {
        const xmlNode* n;
        static const xmlNode* Skip(const xmlNode* n) {
            while (n && n->type != XML_ELEMENT_NODE)
                n = n->next;
            return n;
        }
        const xmlNode* operator*() const { return n; }
        It& operator++() {
            n = Skip(n->next);
            return *this;
        }
        bool operator!=(const It& o) const { return n != o.n; }
    };
    It begin() const { return {It::Skip(parent ? parent->children : nullptr)}; }
    It end() const { return {nullptr}; }
};

const xmlNode* Child(const xmlNode* n, const char* name) {
    for (const xmlNode* c : Elements{n})
        if (Is(c, name)) return c;
    return nullptr;
}

std::string_view Attr(const xmlNode* n, const char* name) {
    const xmlAttr* a = xmlHasProp(n, reinterpret_cast<const xmlChar*>(name));
    if (!a || !a->children || a->children->type != XML_TEXT_NODE || a->children->next) return {};
    return reinterpret_cast<const char*>(a->children->content);
}

uint32_t AttrUInt(const xmlNode* n, const char* name, uint32_t fallback) {
    std::vector<uint32_t> v;
    AppendIndices(Attr(n, name), v);
    return v.size() == 1 && v[0] != UINT32_MAX ? v[0] : fallback;
}

// Text content of an element. One text child is viewed in place; several (split by
// comments) are joined into `scratch`.
std::string_view Text(const xmlNode* n, std::string& scratch) {
    const xmlNode* c = n ? n->children : nullptr;
    if (c && !c->next && c->type == XML_TEXT_NODE) return reinterpret_cast<const char*>(c->content);
    scratch.clear();
    for (; c; c = c->next)
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
            scratch += reinterpret_cast<const char*>(c->content);
            scratch += ' ';
        }
    return scratch;
}

// ---- libxml2 callbacks -----------------------------------------------------------

// Deeper nesting than this is refused while parsing: no real document comes near it, and the
// tree walks that follow recurse once per level.
constexpr int kMaxDepth = 1024;

struct ParseState {
    std::vector<std::string>* diagnostics;
    startElementNsSAX2Func startElement = nullptr;
    bool refusedEntities = false;
    bool tooDeep = false;
};

void OnXmlError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (!error || !error->message || state->diagnostics->size() > 100) return;
    std::string msg = error->message;
    while (!msg.empty() && msg.back() == '\n')
        msg.pop_back();
    state->diagnostics->push_back("line " + std::to_string(error->line) + ": " + msg);
}

// COLLADA has no use for entities; refusing their declaration stops expansion bombs and
// external entities before any reference to them is read.
void OnEntityDecl(void* userData, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    static_cast<ParseState*>(ctxt->_private)->refusedEntities = true;
    xmlStopParser(ctxt);
}

void OnStartElement(void* userData, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                    const xmlChar** attributes) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (ctxt->nodeNr >= kMaxDepth) {
        state->tooDeep = true;
        xmlStopParser(ctxt);
        return;
    }
    state->startElement(userData, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                        attributes);
}

} // namespace

// ---- Loader ------------------------------------------------------------------------

class Loader {
  public:
    Loader(Document& doc, const std::string& path) : doc_(doc) {
        std::error_code ec;
        auto abs = std::filesystem::absolute(path, ec);
        baseDir_ = ec ? std::string(".") : abs.parent_path().string();
    }

    bool Build(const xmlNode* root) {
        if (!root || !Is(root, "COLLADA")) return Fail("not a COLLADA document");
        if (const xmlNode* asset = Child(root, "asset")) ReadAsset(asset);
        const char* order[] = {"library_images",      "library_effects", "library_materials",
                               "library_geometries",  "library_controllers", "library_nodes",
                               "library_visual_scenes", "library_animations"};
        for (const char* lib : order)
            for (const xmlNode* e : Elements{root})
                if (Is(e, lib)) ReadLibrary(lib, e);
        ResolveControllerSources();
        ResolveNodeReferences();
        BindChannels();
        if (const xmlNode* scene = Child(root, "scene"))
            if (const xmlNode* ivs = Child(scene, "instance_visual_scene"))
                doc_.sceneRoot_ = Find(doc_.visualSceneIds_, Attr(ivs, "url"), "visual scene");
        return true;
    }

    bool Fail(const std::string& why) {
        doc_.diagnostics_.push_back(why);
        return false;
    }

  private:
    void ReadAsset(const xmlNode* asset) {
        if (const xmlNode* up = Child(asset, "up_axis")) {
            std::string_view axis = Trim(Text(up, scratch_));
            doc_.upAxis_ = axis == "X_UP" ? UpAxis::X : axis == "Z_UP" ? UpAxis::Z : UpAxis::Y;
        }
        if (const xmlNode* unit = Child(asset, "unit")) {
            floats_.clear();
            AppendFloats(Attr(unit, "meter"), floats_);
            if (floats_.size() == 1 && std::isfinite(floats_[0]) && floats_[0] > 0) doc_.unitMeters_ = floats_[0];
        }
    }

    void Warn(const xmlNode* n, const std::string& what) {
        if (doc_.diagnostics_.size() > 100) return;
        if (!n) return doc_.diagnostics_.push_back(what);
        doc_.diagnostics_.push_back("line " + std::to_string(xmlGetLineNo(n)) + ": " + what);
    }

    template <typename T>
    T* Find(const Document::IdMap<T>& map, std::string_view url, const char* what) {
        std::string_view id = FragmentOf(url);
        T* found = Document::Find(map, id);
        if (!found && !url.empty()) Warn(nullptr, std::string(what) + " not found: " + std::string(url));
        return found;
    }

    template <typename T>
    static void Register(Document::IdMap<T>& map, T& obj, const std::string& id) {
        if (!id.empty()) map.emplace(id, &obj); // the first of duplicate ids wins
    }

    void ReadLibrary(std::string_view lib, const xmlNode* e) {
        for (const xmlNode* c : Elements{e}) {
            if (lib == "library_images" && Is(c, "image"))
                ReadImage(c);
            else if (lib == "library_effects" && Is(c, "effect"))
                ReadEffect(c);
            else if (lib == "library_materials" && Is(c, "material"))
                ReadMaterial(c);
            else if (lib == "library_geometries" && Is(c, "geometry"))
                ReadGeometry(c);
            else if (lib == "library_controllers" && Is(c, "controller"))
                ReadController(c);
            else if (lib == "library_nodes" && Is(c, "node"))
                ReadNode(c, nullptr);
            else if (lib == "library_visual_scenes" && Is(c, "visual_scene"))
                ReadVisualScene(c);
            else if (lib == "library_animations" && Is(c, "animation"))
                ReadAnimation(c);
        }
    }

    // ---- Images, effects, materials ----

    void ReadImage(const xmlNode* e) {
        Image& img = doc_.images_.emplace_back();
        img.id = Attr(e, "id");
        if (const xmlNode* init = Child(e, "init_from"))
            img.path = ImagePathFromUri(Text(init, scratch_), baseDir_);
        Register(doc_.imageIds_, img, img.id);
    }

    // `newparam` surfaces and samplers of an effect or profile, by sid.
    struct Params {
        std::unordered_map<std::string, std::vector<std::string>> surfaceImages;
        std::vector<std::pair<std::string, std::string>> samplers; // sid, surface sid
    };

    void ReadParams(const xmlNode* scope, Params& params) {
        for (const xmlNode* np : Elements{scope}) {
            if (Is(np, "image")) ReadImage(np);
            if (!Is(np, "newparam")) continue;
            std::string sid(Attr(np, "sid"));
            if (const xmlNode* surface = Child(np, "surface")) {
                auto& images = params.surfaceImages[sid];
                for (const xmlNode* init : Elements{surface})
                    if (Is(init, "init_from")) AppendWords(Text(init, scratch_), images);
            }
            if (const xmlNode* sampler = Child(np, "sampler2D")) {
                const xmlNode* src = Child(sampler, "source");
                params.samplers.emplace_back(sid, src ? std::string(Text(src, scratch_)) : std::string());
            }
        }
    }

    void ReadEffect(const xmlNode* e) {
        Effect& fx = doc_.effects_.emplace_back();
        fx.id = Attr(e, "id");
        Params effectParams;
        ReadParams(e, effectParams);
        for (const xmlNode* p : Elements{e})
            if (Is(p, "profile_COMMON")) fx.commonProfiles.push_back(ReadCommonProfile(p, effectParams));
        Register(doc_.effectIds_, fx, fx.id);
    }

    CommonProfile ReadCommonProfile(const xmlNode* p, const Params& effectParams) {
        CommonProfile profile;
        Params params = effectParams;
        ReadParams(p, params);
        for (const auto& [sid, surfaceSid] : params.samplers)
            profile.samplers.push_back(MakeSampler(sid, surfaceSid, params));
        if (const xmlNode* technique = Child(p, "technique")) {
            ReadTechnique(technique, profile);
            AddDirectTextures(technique, params, profile);
        }
        ReadSpecLevelExtras(p, profile);
        return profile;
    }

    Sampler MakeSampler(const std::string& sid, const std::string& surfaceSid, const Params& params) {
        Sampler s;
        s.sid = sid;
        auto it = params.surfaceImages.find(surfaceSid);
        if (it == params.surfaceImages.end()) {
            // Some exporters name the image itself instead of a surface.
            if (const Image* img = Document::Find(doc_.imageIds_, surfaceSid)) s.images.push_back(img);
            return s;
        }
        for (const std::string& id : it->second) {
            if (const Image* img = Document::Find(doc_.imageIds_, id))
                s.images.push_back(img);
            else
                Warn(nullptr, "image not found: " + id);
        }
        return s;
    }

    void ReadTechnique(const xmlNode* technique, CommonProfile& profile) {
        for (const xmlNode* shader : Elements{technique}) {
            if (Is(shader, "extra")) continue;
            for (const xmlNode* c : Elements{shader}) {
                if (Is(c, "emission"))
                    profile.emission = ReadColor(c);
                else if (Is(c, "ambient"))
                    profile.ambient = ReadColor(c);
                else if (Is(c, "diffuse"))
                    profile.diffuse = ReadColor(c);
                else if (Is(c, "specular"))
                    profile.specular = ReadColor(c);
                else if (Is(c, "spec_level"))
                    ReadSpecLevel(c, profile);
            }
        }
        ReadSpecLevelExtras(technique, profile);
    }

    // A colour's `texture` that names no sampler but a surface or an image directly (as several
    // exporters write it) becomes a sampler of its own, after the declared ones.
    void AddDirectTextures(const xmlNode* technique, const Params& params, CommonProfile& profile) {
        for (const xmlNode* shader : Elements{technique})
            for (const xmlNode* c : Elements{shader}) {
                const xmlNode* texture = Child(c, "texture");
                if (!texture) continue;
                std::string name(Attr(texture, "texture"));
                auto declared = [&](const Sampler& s) { return s.sid == name; };
                if (name.empty() || std::any_of(profile.samplers.begin(), profile.samplers.end(), declared))
                    continue;
                Sampler s = MakeSampler(name, name, params);
                if (!s.images.empty()) profile.samplers.push_back(std::move(s));
            }
    }

    Color ReadColor(const xmlNode* e) {
        if (Child(e, "texture")) return {1, 1, 1, 1};
        const xmlNode* color = Child(e, "color");
        if (!color) return {};
        floats_.clear();
        AppendFloats(Text(color, scratch_), floats_);
        floats_.resize(4, 1.0f);
        return {floats_[0], floats_[1], floats_[2], floats_[3]};
    }

    void ReadSpecLevel(const xmlNode* e, CommonProfile& profile) {
        const xmlNode* f = Child(e, "float");
        floats_.clear();
        AppendFloats(Text(f ? f : e, scratch_), floats_);
        if (!floats_.empty()) profile.specLevel = floats_[0];
    }

    // `spec_level` inside `extra/technique` of the authoring tools that write one.
    void ReadSpecLevelExtras(const xmlNode* scope, CommonProfile& profile) {
        for (const xmlNode* extra : Elements{scope}) {
            if (!Is(extra, "extra")) continue;
            for (const xmlNode* t : Elements{extra}) {
                std::string_view prof = Attr(t, "profile");
                if (!Is(t, "technique") || (prof != "MAX3D" && prof != "MAYA" && prof != "FCOLLADA"))
                    continue;
                if (const xmlNode* level = Child(t, "spec_level")) ReadSpecLevel(level, profile);
            }
        }
    }

    void ReadMaterial(const xmlNode* e) {
        Material& m = doc_.materials_.emplace_back();
        m.id = Attr(e, "id");
        if (const xmlNode* ie = Child(e, "instance_effect"))
            m.effect = Find(doc_.effectIds_, Attr(ie, "url"), "effect");
        Register(doc_.materialIds_, m, m.id);
    }

    // ---- Sources ----

    Source* ReadSource(const xmlNode* e) {
        Source& s = doc_.sources_.emplace_back();
        s.id = Attr(e, "id");
        for (const xmlNode* c : Elements{e}) {
            if (Is(c, "float_array")) {
                if (AppendFloats(Text(c, scratch_), s.floats) > 0) Warn(c, "non-numeric values read as 0");
            } else if (Is(c, "Name_array") || Is(c, "IDREF_array")) {
                AppendWords(Text(c, scratch_), s.names);
            }
        }
        if (const xmlNode* tc = Child(e, "technique_common"))
            if (const xmlNode* acc = Child(tc, "accessor"))
                s.stride = std::max<uint32_t>(1, AttrUInt(acc, "stride", 1));
        return &s;
    }

    using SourceMap = std::unordered_map<std::string_view, const Source*>;

    const Source* FindSource(const SourceMap& sources, std::string_view url, const xmlNode* at) {
        auto it = sources.find(FragmentOf(url));
        if (it != sources.end()) return it->second;
        Warn(at, "source not found: " + std::string(url));
        return nullptr;
    }

    // ---- Geometry ----

    void ReadGeometry(const xmlNode* e) {
        Geometry& g = doc_.geometries_.emplace_back();
        g.id = Attr(e, "id");
        Register(doc_.geometryIds_, g, g.id);
        const xmlNode* mesh = Child(e, "mesh");
        if (!mesh) return;
        g.hasMesh = true;
        SourceMap sources;
        std::string verticesId;
        std::vector<Input> vertexInputs;
        for (const xmlNode* c : Elements{mesh}) {
            if (Is(c, "source")) {
                const Source* s = ReadSource(c);
                sources.emplace(s->id, s);
            } else if (Is(c, "vertices")) {
                verticesId = Attr(c, "id");
                for (const xmlNode* in : Elements{c})
                    if (Is(in, "input"))
                        vertexInputs.push_back({std::string(Attr(in, "semantic")), 0, 0,
                                                FindSource(sources, Attr(in, "source"), in)});
            } else if (auto kind = PrimitiveKindOf(c)) {
                g.mesh.polygonSets.push_back(ReadPolygonSet(c, *kind, sources, verticesId, vertexInputs));
            }
        }
    }

    static std::optional<PrimitiveKind> PrimitiveKindOf(const xmlNode* c) {
        if (Is(c, "polygons") || Is(c, "polylist") || Is(c, "triangles")) return PrimitiveKind::Polygons;
        if (Is(c, "lines")) return PrimitiveKind::Lines;
        if (Is(c, "linestrips")) return PrimitiveKind::LineStrips;
        if (Is(c, "trifans")) return PrimitiveKind::TriFans;
        if (Is(c, "tristrips")) return PrimitiveKind::TriStrips;
        return std::nullopt;
    }

    PolygonSet ReadPolygonSet(const xmlNode* e, PrimitiveKind kind, const SourceMap& sources,
                              const std::string& verticesId, const std::vector<Input>& vertexInputs) {
        PolygonSet set;
        set.kind = kind;
        set.material = Attr(e, "material");
        uint32_t maxOffset = 0;
        for (const xmlNode* in : Elements{e}) {
            if (!Is(in, "input")) continue;
            uint32_t offset = AttrUInt(in, "offset", 0);
            int inputSet = static_cast<int>(std::min<uint32_t>(AttrUInt(in, "set", 0), INT32_MAX));
            maxOffset = std::max(maxOffset, offset);
            std::string_view semantic = Attr(in, "semantic");
            std::string_view url = Attr(in, "source");
            if (semantic == "VERTEX" && FragmentOf(url) == verticesId) {
                for (const Input& v : vertexInputs)
                    set.inputs.push_back({v.semantic, offset, inputSet, v.source});
            } else {
                const Source* src = FindSource(sources, url, in);
                set.inputs.push_back(
                    {semantic == "VERTEX" ? "POSITION" : std::string(semantic), offset, inputSet, src});
            }
        }
        if (kind != PrimitiveKind::Polygons && kind != PrimitiveKind::TriStrips && kind != PrimitiveKind::TriFans)
            return set;
        if (maxOffset >= kMaxInputOffset) {
            Warn(e, "input offset out of range; polygon set left empty");
            set.inputs.clear();
            return set;
        }
        set.indexStride = maxOffset + 1;
        if (kind != PrimitiveKind::Polygons || Is(e, "polygons"))
            ReadPolygonFaces(e, set);
        else
            ReadFaceList(e, set);
        ClampFaces(e, set);
        return set;
    }

    // `polygons`, `tristrips`, `trifans`: one face (strip, fan) per `p`; a `ph` contributes its
    // outer `p`, holes are not cut.
    void ReadPolygonFaces(const xmlNode* e, PolygonSet& set) {
        for (const xmlNode* c : Elements{e}) {
            const xmlNode* p = Is(c, "p") ? c : (Is(c, "ph") ? Child(c, "p") : nullptr);
            if (!p) continue;
            size_t before = set.indices.size();
            AppendIndices(Text(p, scratch_), set.indices);
            size_t corners = (set.indices.size() - before) / set.indexStride;
            set.indices.resize(before + corners * set.indexStride);
            set.vertexCounts.push_back(static_cast<uint32_t>(std::min<size_t>(corners, UINT32_MAX)));
        }
    }

    // `polylist` (with `vcount`) and `triangles` (three corners a face).
    void ReadFaceList(const xmlNode* e, PolygonSet& set) {
        for (const xmlNode* c : Elements{e})
            if (Is(c, "p")) AppendIndices(Text(c, scratch_), set.indices);
        set.indices.resize(set.CornerCount() * set.indexStride);
        if (Is(e, "triangles")) {
            set.vertexCounts.assign(set.CornerCount() / 3, 3);
            return;
        }
        if (const xmlNode* vcount = Child(e, "vcount"))
            AppendIndices(Text(vcount, scratch_), set.vertexCounts);
    }

    // Face vertex counts never reach past the corners that `p` holds.
    void ClampFaces(const xmlNode* e, PolygonSet& set) {
        size_t remaining = set.CornerCount();
        for (size_t f = 0; f < set.vertexCounts.size(); ++f) {
            if (set.vertexCounts[f] <= remaining) {
                remaining -= set.vertexCounts[f];
                continue;
            }
            Warn(e, "face vertex counts exceed the index list; faces cut at its end");
            set.vertexCounts[f] = static_cast<uint32_t>(remaining);
            set.vertexCounts.resize(f + 1);
            return;
        }
    }

    // ---- Controllers ----

    void ReadController(const xmlNode* e) {
        Controller& c = doc_.controllers_.emplace_back();
        c.id = Attr(e, "id");
        Register(doc_.controllerIds_, c, c.id);
        if (const xmlNode* skin = Child(e, "skin")) {
            c.hasSkin = true;
            c.sourceUrl = Attr(skin, "source");
            ReadSkin(skin, c.skin);
        } else if (const xmlNode* morph = Child(e, "morph")) {
            c.sourceUrl = Attr(morph, "source");
        }
    }

    void ResolveControllerSources() {
        for (Controller& c : doc_.controllers_) {
            std::string_view id = FragmentOf(c.sourceUrl);
            c.sourceGeometry = Document::Find(doc_.geometryIds_, id);
            if (!c.sourceGeometry) c.sourceController = Document::Find(doc_.controllerIds_, id);
            if (!c.sourceGeometry && !c.sourceController)
                Warn(nullptr, "controller source not found: " + c.sourceUrl);
        }
    }

    void ReadSkin(const xmlNode* skinNode, Skin& skin) {
        SourceMap sources;
        for (const xmlNode* c : Elements{skinNode})
            if (Is(c, "source")) {
                const Source* s = ReadSource(c);
                sources.emplace(s->id, s);
            }
        if (const xmlNode* bsm = Child(skinNode, "bind_shape_matrix")) skin.bindShape = ReadMatrix(bsm);
        const Source* inverseBind = nullptr;
        if (const xmlNode* joints = Child(skinNode, "joints"))
            for (const xmlNode* in : Elements{joints}) {
                if (!Is(in, "input")) continue;
                std::string_view semantic = Attr(in, "semantic");
                if (semantic == "JOINT") {
                    if (const Source* s = FindSource(sources, Attr(in, "source"), in)) skin.jointNames = s->names;
                } else if (semantic == "INV_BIND_MATRIX") {
                    inverseBind = FindSource(sources, Attr(in, "source"), in);
                }
            }
        if (inverseBind) ReadInverseBindMatrices(*inverseBind, skin);
        if (const xmlNode* vw = Child(skinNode, "vertex_weights")) ReadVertexWeights(vw, sources, skin);
    }

    Matrix4 ReadMatrix(const xmlNode* e) {
        floats_.clear();
        AppendFloats(Text(e, scratch_), floats_);
        Matrix4 m;
        if (floats_.size() == 16)
            std::copy(floats_.begin(), floats_.end(), m.m.begin());
        else
            Warn(e, "matrix with " + std::to_string(floats_.size()) + " values read as the identity");
        return m;
    }

    // One matrix per joint, or none when the source holds fewer than the joints.
    void ReadInverseBindMatrices(const Source& source, Skin& skin) {
        if (source.floats.size() < skin.jointNames.size() * 16) {
            Warn(nullptr, "inverse bind matrices fewer than the joints: " + source.id);
            return;
        }
        skin.inverseBindMatrices.resize(skin.jointNames.size());
        for (size_t j = 0; j < skin.jointNames.size(); ++j)
            std::copy_n(source.floats.begin() + static_cast<std::ptrdiff_t>(j * 16), 16,
                        skin.inverseBindMatrices[j].m.begin());
    }

    void ReadVertexWeights(const xmlNode* vw, const SourceMap& sources, Skin& skin) {
        uint32_t jointOffset = UINT32_MAX, weightOffset = UINT32_MAX, stride = 1;
        const Source* weights = nullptr;
        const Source* jointSource = nullptr;
        for (const xmlNode* in : Elements{vw}) {
            if (!Is(in, "input")) continue;
            uint32_t offset = std::min(AttrUInt(in, "offset", 0), kMaxInputOffset);
            stride = std::max(stride, offset + 1);
            std::string_view semantic = Attr(in, "semantic");
            if (semantic == "JOINT") {
                jointOffset = offset;
                jointSource = FindSource(sources, Attr(in, "source"), in);
            } else if (semantic == "WEIGHT") {
                weightOffset = offset;
                weights = FindSource(sources, Attr(in, "source"), in);
            }
        }
        if (skin.jointNames.empty() && jointSource) skin.jointNames = jointSource->names;
        std::vector<uint32_t> counts, v;
        if (const xmlNode* vc = Child(vw, "vcount")) AppendIndices(Text(vc, scratch_), counts);
        if (const xmlNode* vn = Child(vw, "v")) AppendIndices(Text(vn, scratch_), v);
        if (jointOffset == UINT32_MAX || !weights) {
            Warn(vw, "vertex weights without JOINT or WEIGHT input");
            return;
        }
        BuildInfluences(vw, counts, v, stride, jointOffset, weightOffset, *weights, skin);
    }

    void BuildInfluences(const xmlNode* vw, const std::vector<uint32_t>& counts,
                         const std::vector<uint32_t>& v, uint32_t stride, uint32_t jointOffset,
                         uint32_t weightOffset, const Source& weights, Skin& skin) {
        size_t pairs = v.size() / stride, next = 0, dropped = 0;
        skin.influenceStart.reserve(counts.size() + 1);
        skin.influenceStart.push_back(0);
        for (uint32_t count : counts) {
            size_t n = std::min<size_t>(count, pairs - next);
            for (size_t k = next; k < next + n; ++k) {
                uint32_t joint = v[k * stride + jointOffset];
                const float* w = weights.Value(v[k * stride + weightOffset]);
                if (joint < skin.jointNames.size() && w)
                    skin.influences.push_back({joint, *w});
                else
                    ++dropped;
            }
            next += n;
            skin.influenceStart.push_back(static_cast<uint32_t>(skin.influences.size()));
        }
        if (dropped)
            Warn(vw, std::to_string(dropped) + " influences with a joint or weight out of range dropped");
    }

    // ---- Visual scenes ----

    void ReadVisualScene(const xmlNode* e) {
        Node& root = doc_.nodes_.emplace_back();
        root.id = Attr(e, "id");
        root.name = Attr(e, "name");
        if (root.name.empty()) root.name = root.id;
        Register(doc_.visualSceneIds_, root, root.id);
        for (const xmlNode* c : Elements{e})
            if (Is(c, "node")) root.children.push_back(ReadNode(c, &root));
    }

    Node* ReadNode(const xmlNode* e, Node* parent) {
        Node& n = doc_.nodes_.emplace_back();
        n.parent = parent;
        n.id = Attr(e, "id");
        n.name = Attr(e, "name");
        if (n.name.empty()) n.name = n.id;
        n.sid = Attr(e, "sid");
        n.isJoint = Attr(e, "type") == "JOINT";
        Register(doc_.nodeIds_, n, n.id);
        for (const xmlNode* c : Elements{e}) {
            if (Is(c, "node"))
                n.children.push_back(ReadNode(c, &n));
            else if (auto kind = TransformKindOf(c))
                n.transforms.push_back(ReadTransform(c, *kind));
            else if (std::strncmp(reinterpret_cast<const char*>(c->name), "instance_", 9) == 0)
                n.instances.push_back(ReadInstance(c));
        }
        return &n;
    }

    static std::optional<TransformKind> TransformKindOf(const xmlNode* c) {
        if (Is(c, "matrix")) return TransformKind::Matrix;
        if (Is(c, "translate")) return TransformKind::Translate;
        if (Is(c, "rotate")) return TransformKind::Rotate;
        if (Is(c, "scale")) return TransformKind::Scale;
        if (Is(c, "lookat")) return TransformKind::LookAt;
        if (Is(c, "skew")) return TransformKind::Skew;
        return std::nullopt;
    }

    Transform ReadTransform(const xmlNode* e, TransformKind kind) {
        Transform t;
        t.kind = kind;
        t.sid = Attr(e, "sid");
        floats_.clear();
        AppendFloats(Text(e, scratch_), floats_);
        size_t expected = kind == TransformKind::Matrix   ? 16
                          : kind == TransformKind::Rotate ? 4
                          : kind == TransformKind::LookAt ? 9
                          : kind == TransformKind::Skew   ? 7
                                                          : 3;
        if (floats_.size() != expected)
            Warn(e, "transform with " + std::to_string(floats_.size()) + " values");
        if (kind == TransformKind::Scale) t.values.fill(1.0f);
        std::copy_n(floats_.begin(), std::min(floats_.size(), t.values.size()), t.values.begin());
        return t;
    }

    Instance ReadInstance(const xmlNode* e) {
        Instance inst;
        inst.url = Attr(e, "url");
        if (Is(e, "instance_geometry")) {
            inst.kind = InstanceKind::Geometry;
            inst.geometry = Find(doc_.geometryIds_, inst.url, "geometry");
        } else if (Is(e, "instance_controller")) {
            inst.kind = InstanceKind::Controller;
            inst.controller = Find(doc_.controllerIds_, inst.url, "controller");
            for (const xmlNode* sk : Elements{e})
                if (Is(sk, "skeleton")) inst.skeletonUrls.emplace_back(Text(sk, scratch_));
        } else if (Is(e, "instance_node")) {
            inst.kind = InstanceKind::Node; // resolved once every node is read
        }
        if (const xmlNode* bm = Child(e, "bind_material"))
            if (const xmlNode* tc = Child(bm, "technique_common"))
                for (const xmlNode* im : Elements{tc})
                    if (Is(im, "instance_material"))
                        if (const Material* m = Find(doc_.materialIds_, Attr(im, "target"), "material")) {
                            inst.materials.push_back(m);
                            inst.symbols.emplace_back(Attr(im, "symbol"));
                        }
        return inst;
    }

    void ResolveNodeReferences() {
        for (Node& n : doc_.nodes_)
            for (Instance& inst : n.instances) {
                if (inst.kind == InstanceKind::Node) inst.node = Find(doc_.nodeIds_, inst.url, "node");
                for (const std::string& url : inst.skeletonUrls) {
                    std::string_view trimmed = Trim(url);
                    if (const Node* root = Find(doc_.nodeIds_, trimmed, "skeleton")) inst.skeletons.push_back(root);
                }
            }
    }

    static std::string_view Trim(std::string_view text) {
        const char* space = " \t\r\n";
        size_t b = text.find_first_not_of(space);
        if (b == std::string_view::npos) return {};
        return text.substr(b, text.find_last_not_of(space) - b + 1);
    }

    // ---- Animations ----

    // Sources, samplers and channels of all animations, nested ones included: a channel may name a
    // sampler of an enclosing animation, so channels are bound once everything is read.
    void ReadAnimation(const xmlNode* e) {
        for (const xmlNode* c : Elements{e}) {
            if (Is(c, "animation"))
                ReadAnimation(c);
            else if (Is(c, "source")) {
                const Source* s = ReadSource(c);
                animationSources_.emplace(s->id, s);
            } else if (Is(c, "sampler")) {
                samplers_.emplace(Attr(c, "id"), c);
            } else if (Is(c, "channel")) {
                channels_.push_back(c);
            }
        }
    }

    void BindChannels() {
        for (const xmlNode* c : channels_) {
            auto it = samplers_.find(FragmentOf(Attr(c, "source")));
            if (it == samplers_.end()) {
                Warn(c, "sampler not found: " + std::string(Attr(c, "source")));
                continue;
            }
            BindChannel(c, it->second, animationSources_);
        }
    }

    void BindChannel(const xmlNode* channel, const xmlNode* sampler, const SourceMap& sources) {
        const Source *input = nullptr, *output = nullptr;
        for (const xmlNode* in : Elements{sampler}) {
            if (!Is(in, "input")) continue;
            std::string_view semantic = Attr(in, "semantic");
            if (semantic == "INPUT")
                input = FindSource(sources, Attr(in, "source"), in);
            else if (semantic == "OUTPUT")
                output = FindSource(sources, Attr(in, "source"), in);
        }
        if (!input || !output) return;
        std::string_view target = Attr(channel, "target");
        size_t slash = target.find('/');
        if (slash == std::string_view::npos) return;
        Node* node = Document::Find(doc_.nodeIds_, target.substr(0, slash));
        if (!node) return;
        std::string_view rest = target.substr(slash + 1);
        size_t sidEnd = rest.find_first_of(".(");
        std::string_view sid = rest.substr(0, sidEnd);
        std::string_view member = sidEnd == std::string_view::npos ? std::string_view{} : rest.substr(sidEnd);
        for (Transform& t : node->transforms)
            if (t.sid == sid) return BindCurves(t, member, *input, *output);
    }

    // Translate, rotate and matrix elements are animated as a whole (one key value per
    // component, a matrix row by row) or one component (a matrix cell `(row)(column)`) at a time;
    // scale and the other elements are not.
    static void BindCurves(Transform& t, std::string_view member, const Source& input, const Source& output) {
        int components = t.kind == TransformKind::Translate ? 3
                         : t.kind == TransformKind::Rotate  ? 4
                         : t.kind == TransformKind::Matrix  ? 16
                                                            : 0;
        if (components == 0) return;
        int comp = ComponentOf(member, t.kind);
        if (member.empty()) {
            if (output.stride != static_cast<uint32_t>(components)) return;
            for (int c = 0; c < components; ++c)
                FillCurve(t.curves[c], input, output, c);
        } else if (comp >= 0 && comp < components) {
            FillCurve(t.curves[comp], input, output, 0);
        }
    }

    static int ComponentOf(std::string_view member, TransformKind kind) {
        if (kind == TransformKind::Matrix) return MatrixCellOf(member);
        if (member == ".X") return 0;
        if (member == ".Y") return 1;
        if (member == ".Z") return 2;
        if (member == ".ANGLE") return kind == TransformKind::Rotate ? 3 : -1;
        if (member.size() == 3 && member[0] == '(' && member[2] == ')' && member[1] >= '0' &&
            member[1] <= '3')
            return member[1] - '0';
        return -1;
    }

    // `(row)(column)` of a matrix, each 0 to 3.
    static int MatrixCellOf(std::string_view member) {
        auto digit = [&](size_t at) { return member[at] >= '0' && member[at] <= '3' ? member[at] - '0' : -1; };
        if (member.size() != 6 || member[0] != '(' || member[2] != ')' || member[3] != '(' || member[5] != ')')
            return -1;
        int row = digit(1), col = digit(4);
        return row < 0 || col < 0 ? -1 : row * 4 + col;
    }

    static void FillCurve(Curve& curve, const Source& input, const Source& output, int component) {
        size_t n = std::min(input.Count(), output.Count());
        curve.clear();
        curve.reserve(n);
        for (size_t i = 0; i < n; ++i)
            curve.push_back({input.Value(i)[0], output.Value(i)[component]});
    }

    Document& doc_;
    std::string baseDir_;
    SourceMap animationSources_;
    std::unordered_map<std::string_view, const xmlNode*> samplers_;
    std::vector<const xmlNode*> channels_;
    std::string scratch_;
    std::vector<float> floats_;
};

// ---- Document ---------------------------------------------------------------------

void Document::Clear() {
    nodeIds_.clear();
    visualSceneIds_.clear();
    geometryIds_.clear();
    controllerIds_.clear();
    materialIds_.clear();
    effectIds_.clear();
    imageIds_.clear();
    nodes_.clear();
    sources_.clear();
    geometries_.clear();
    controllers_.clear();
    materials_.clear();
    effects_.clear();
    images_.clear();
    sceneRoot_ = nullptr;
    upAxis_ = UpAxis::Y;
    unitMeters_ = 1;
    diagnostics_.clear();
}

namespace {

// Where the parser pulls its bytes from: an open file or a piece of memory.
struct ByteSource {
    std::FILE* file = nullptr;
    std::string_view memory;
};

int ReadBytes(void* context, char* buffer, int len) {
    auto* source = static_cast<ByteSource*>(context);
    if (source->file) {
        size_t n = std::fread(buffer, 1, static_cast<size_t>(len), source->file);
        return std::ferror(source->file) ? -1 : static_cast<int>(n);
    }
    size_t n = std::min(static_cast<size_t>(len), source->memory.size());
    std::memcpy(buffer, source->memory.data(), n);
    source->memory.remove_prefix(n);
    return static_cast<int>(n);
}

using XmlDocPtr = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// Parses the whole document into a libxml2 tree, or returns null with the reason in `diagnostics`.
// The bytes are pulled in chunks, so nothing is copied whole and compressed input is not inflated.
XmlDocPtr ParseXml(ByteSource& source, const std::string& path, std::vector<std::string>& diagnostics) {
    XmlDocPtr none(nullptr, xmlFreeDoc);
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt) {
        diagnostics.push_back("out of memory");
        return none;
    }
    ParseState state{&diagnostics};
    ctxt->_private = &state;
    ctxt->sax->serror = OnXmlError;
    ctxt->sax->entityDecl = OnEntityDecl;
    state.startElement = ctxt->sax->startElementNs;
    ctxt->sax->startElementNs = OnStartElement;
    // HUGE lifts libxml2's 10 MB limit on one text node (the index list of a large mesh) and its
    // depth limit; the file size cap, our own depth limit and the refusal of entities bound the rest.
    int options =
        XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_COMPACT | XML_PARSE_NOBLANKS | XML_PARSE_HUGE;
    XmlDocPtr tree(xmlCtxtReadIO(ctxt.get(), ReadBytes, nullptr, &source, path.c_str(), nullptr, options),
                   xmlFreeDoc);
    if (state.refusedEntities) {
        diagnostics.push_back("documents that declare entities are not read: " + path);
        return none;
    }
    if (state.tooDeep) {
        diagnostics.push_back("elements nested deeper than " + std::to_string(kMaxDepth) +
                              " levels: " + path);
        return none;
    }
    if (!tree || !ctxt->wellFormed) {
        diagnostics.push_back("not well-formed XML: " + path);
        return none;
    }
    return tree;
}

} // namespace

bool Document::Load(const std::string& path) {
    Clear();
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        diagnostics_.push_back("cannot open " + path);
        return false;
    }
    if (size > kMaxFileBytes) {
        diagnostics_.push_back("file too large: " + path);
        return false;
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        diagnostics_.push_back("cannot open " + path);
        return false;
    }
    ByteSource source{file.get(), {}};
    XmlDocPtr tree = ParseXml(source, path, diagnostics_);
    if (!tree) return false;
    Loader loader(*this, path);
    return loader.Build(xmlDocGetRootElement(tree.get()));
}

bool Document::LoadFromMemory(std::string_view xml, const std::string& path) {
    Clear();
    ByteSource source{nullptr, xml};
    XmlDocPtr tree = ParseXml(source, path, diagnostics_);
    if (!tree) return false;
    Loader loader(*this, path);
    return loader.Build(xmlDocGetRootElement(tree.get()));
}

} // namespace collada
