// The object model of a loaded COLLADA document: what the importer walks.
//
// Every object is owned by its `Document`; references between objects are plain
// pointers resolved at load time and valid while the document lives. A reference
// that does not resolve is null (or left out of its list), never dangling.
// Counts given by the document (`count` attributes) are never trusted: every list
// holds exactly the values that were present in the file.
#pragma once

#include "ColladaMatrix.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace collada {

enum class UpAxis { X, Y, Z };

// ---- Sources -------------------------------------------------------------------

// A `source`: a float array (or a name array for skin joints) read through its accessor.
struct Source {
    std::string id;
    std::vector<float> floats;
    std::vector<std::string> names;
    uint32_t stride = 1;

    // Number of values of `stride` floats.
    size_t Count() const { return floats.size() / stride; }
    // Value i (stride floats), or null when i is out of range.
    const float* Value(size_t i) const { return i < Count() ? floats.data() + i * stride : nullptr; }
};

// ---- Geometry ------------------------------------------------------------------

// An input of a polygon set. "VERTEX" inputs are replaced by the inputs of the mesh's
// `vertices` element ("POSITION" and others), sharing the VERTEX input's offset.
struct Input {
    std::string semantic;
    uint32_t offset = 0;
    int set = 0;
    const Source* source = nullptr;
};

enum class PrimitiveKind { Polygons, Lines, LineStrips, TriFans, TriStrips };

// `polygons`, `polylist` or `triangles` (kind Polygons), `tristrips` and `trifans` (one strip or
// fan per face), or lines, which hold no faces. Face vertex counts never ask for more corners
// than `p` holds.
struct PolygonSet {
    PrimitiveKind kind = PrimitiveKind::Polygons;
    std::string material;
    std::vector<uint32_t> vertexCounts;
    std::vector<Input> inputs;
    std::vector<uint32_t> indices; // `p`, interleaved: `indexStride` entries per corner
    uint32_t indexStride = 1;

    // Number of face vertices (corners) that `p` describes.
    size_t CornerCount() const { return indices.size() / indexStride; }
    // Index of `input` at corner c; c must be below CornerCount().
    uint32_t Index(const Input& input, size_t c) const { return indices[c * indexStride + input.offset]; }
};

struct Mesh {
    std::vector<PolygonSet> polygonSets;
};

struct Geometry {
    std::string id;
    bool hasMesh = false;
    Mesh mesh;
};

// ---- Controllers ---------------------------------------------------------------

struct Influence {
    uint32_t joint = 0; // position in Skin::jointNames
    float weight = 0;
};

struct Skin {
    std::vector<std::string> jointNames;
    // `bind_shape_matrix` (identity when absent) and the `INV_BIND_MATRIX` of each joint in
    // jointNames order; empty when the skin gives none or too few.
    Matrix4 bindShape;
    std::vector<Matrix4> inverseBindMatrices;
    std::vector<Influence> influences;
    std::vector<uint32_t> influenceStart; // list of position index p: [start[p], start[p + 1])

    size_t InfluenceListCount() const { return influenceStart.empty() ? 0 : influenceStart.size() - 1; }
    const Influence* InfluencesBegin(size_t p) const { return influences.data() + influenceStart[p]; }
    const Influence* InfluencesEnd(size_t p) const { return influences.data() + influenceStart[p + 1]; }
};

struct Controller {
    std::string id;
    std::string sourceUrl;
    bool hasSkin = false;
    Skin skin;
    const Controller* sourceController = nullptr; // `source` names a controller
    const Geometry* sourceGeometry = nullptr;     // `source` names a geometry

    // The geometry at the end of the `source` chain, or null (also for a cycle).
    const Geometry* BaseGeometry() const;
};

// ---- Materials -----------------------------------------------------------------

struct Image {
    std::string id;
    std::string path; // absolute local path
};

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

struct Sampler {
    std::string sid;
    std::vector<const Image*> images; // through the surface, in surface order
};

// A `profile_COMMON`: its samplers in declaration order and its colours.
struct CommonProfile {
    std::vector<Sampler> samplers;
    Color emission, ambient, diffuse, specular;
    float specLevel = 1;
};

struct Effect {
    std::string id;
    std::vector<CommonProfile> commonProfiles;
};

struct Material {
    std::string id;
    const Effect* effect = nullptr;
};

// ---- Scene ---------------------------------------------------------------------

struct Key {
    float time = 0;
    float value = 0;
};
using Curve = std::vector<Key>;

enum class TransformKind { Matrix, Translate, Rotate, Scale, LookAt, Skew };

// A transformation element: static values in document order (translate x y z,
// rotate axis x y z and angle in degrees, matrix cells row by row, ...) and one curve
// per animatable component (translate X Y Z; rotate X Y Z ANGLE; matrix cells; scale
// X Y Z), empty when not animated.
struct Transform {
    TransformKind kind = TransformKind::Translate;
    std::string sid;
    std::array<float, 16> values{};
    std::array<Curve, 16> curves;

    bool IsAnimated() const;
    Matrix4 LocalMatrix() const;
};

struct Node;

enum class InstanceKind { Geometry, Controller, Node, Other };

struct Instance {
    InstanceKind kind = InstanceKind::Other;
    std::string url;
    const Geometry* geometry = nullptr;
    const Controller* controller = nullptr;
    const Node* node = nullptr;             // `instance_node`
    std::vector<const Material*> materials; // bound materials that resolved, in order
    std::vector<std::string> symbols;       // the `symbol` of each of `materials`
    std::vector<std::string> skeletonUrls;  // `skeleton` of an `instance_controller`
    std::vector<const Node*> skeletons;     // those that resolved, in order
};

// A `node` (or a `visual_scene`, which is a node without transforms or instances).
struct Node {
    std::string id;
    std::string name; // `name`, or `id` when that is absent or empty
    std::string sid;
    bool isJoint = false;
    Node* parent = nullptr;
    std::vector<Node*> children;
    std::vector<Instance> instances;
    std::vector<Transform> transforms;

    Matrix4 LocalTransform() const;
    // Product of the ancestors' local transforms and this node's, up to the visual scene.
    Matrix4 WorldTransform() const;
    // Same up to and including the ancestor `top` (this node itself, or one of its ancestors).
    Matrix4 TransformBelow(const Node* top) const;
};

} // namespace collada
