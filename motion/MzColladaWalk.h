// The scene walk shared by the model and motion imports: nodes depth-first in document order,
// instanced nodes (`instance_node`) included, each with the world transform its path gives it.
//
// An instanced node is walked where it is instanced, before the instancing node's child nodes
// (the schema's order), and placed by the instancing node's world transform. Instancing may nest
// and may repeat a node; a document can therefore ask for cycles or exponential fan-out, so the
// nesting depth and the number of nodes reached through instances are bounded, and what lies
// beyond is left out with a diagnostic.
#pragma once

#include "ColladaObjects.h"

#include <cstddef>
#include <string>
#include <vector>

// A node as the walk reaches it.
struct MzColladaVisit {
    const collada::Node* node = nullptr;
    const collada::Matrix4* base = nullptr;      // the instancing node's world; null outside instances
    const collada::Node* instanceRoot = nullptr; // the instanced node that `base` places
    int nesting = 0;

    // The node's world transform along this path (the document's own outside instances).
    collada::Matrix4 World() const {
        return base ? *base * node->TransformBelow(instanceRoot) : node->WorldTransform();
    }
};

class MzColladaWalk {
  public:
    static constexpr int kMaxNesting = 8;
    static constexpr size_t kMaxInstancedNodes = size_t{1} << 16;

    // Calls visit(visit, parentContext) for every node from `root` on; what it returns is the
    // context its child nodes (and the nodes it instances) receive. `frame`, when given, is put
    // before every world transform.
    template <typename Context, typename Visitor>
    void Run(const collada::Node* root, Context context, Visitor&& visitor, const collada::Matrix4* frame = nullptr) {
        if (root) Step(MzColladaVisit{root, frame, root, 0}, context, visitor);
    }

    // True when instancing was cut at one of the bounds.
    bool Truncated() const { return truncated_; }
    // Appends the diagnostic of a cut walk, if any.
    void Report(std::vector<std::string>* diagnostics) const {
        if (truncated_ && diagnostics)
            diagnostics->push_back("instance_node nested too deep or too often; the excess is not built");
    }

  private:
    template <typename Context, typename Visitor>
    void Step(const MzColladaVisit& visit, Context context, Visitor& visitor) {
        Context own = visitor(visit, context);
        for (const collada::Instance& instance : visit.node->instances) {
            if (instance.kind != collada::InstanceKind::Node || !instance.node) continue;
            if (visit.nesting >= kMaxNesting || instanced_ >= kMaxInstancedNodes) {
                truncated_ = true;
                continue;
            }
            ++instanced_;
            const collada::Matrix4 base = visit.World();
            Step(MzColladaVisit{instance.node, &base, instance.node, visit.nesting + 1}, own, visitor);
        }
        for (const collada::Node* child : visit.node->children) {
            if (visit.nesting > 0) {
                if (instanced_ >= kMaxInstancedNodes) {
                    truncated_ = true;
                    return;
                }
                ++instanced_;
            }
            Step(MzColladaVisit{child, visit.base, visit.instanceRoot, visit.nesting}, own, visitor);
        }
    }

    size_t instanced_ = 0;
    bool truncated_ = false;
};
