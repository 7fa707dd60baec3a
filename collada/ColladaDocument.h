// A COLLADA 1.4 document loaded into the object model of ColladaObjects.h.
//
// Loading parses the file once with libxml2 and builds the objects from the tree;
// references ("#id" urls, sids, animation targets) are resolved while building, so
// the importer only follows pointers. The document owns every object and discards
// them all when it is destroyed.
//
// Hostile files: the network is never used, no DTD is loaded, a document that
// declares entities is refused (that is how entity-expansion bombs are stopped
// before they grow), files above 256 MiB are refused, nesting deeper than 1024
// levels fails the load, and no count written in the document is used to
// size anything.
#pragma once

#include "ColladaObjects.h"

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace collada {

class Document {
  public:
    Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Loads the file at `path` (UTF-8). False when it cannot be read, is not well-formed
    // XML or is not a COLLADA document; the reason is the last diagnostic. Problems inside
    // a document that loads are diagnostics too, and the objects they concern are partial.
    bool Load(const std::string& path);
    // Same from memory; `path` names the document for diagnostics and relative image paths.
    bool LoadFromMemory(std::string_view xml, const std::string& path);

    // Root of the visual scene that `scene/instance_visual_scene` names, or null.
    const Node* SceneRoot() const { return sceneRoot_; }
    // `asset/up_axis` (Y when absent) and `asset/unit` in metres (1 when absent or invalid).
    UpAxis Up() const { return upAxis_; }
    float UnitMeters() const { return unitMeters_; }
    const std::vector<std::string>& Diagnostics() const { return diagnostics_; }

    const Node* FindNode(std::string_view id) const { return Find(nodeIds_, id); }
    const Geometry* FindGeometry(std::string_view id) const { return Find(geometryIds_, id); }
    const Controller* FindController(std::string_view id) const { return Find(controllerIds_, id); }
    const Material* FindMaterial(std::string_view id) const { return Find(materialIds_, id); }
    const Effect* FindEffect(std::string_view id) const { return Find(effectIds_, id); }
    const Image* FindImage(std::string_view id) const { return Find(imageIds_, id); }

  private:
    friend class Loader;

    template <typename T>
    using IdMap = std::unordered_map<std::string_view, T*>;

    template <typename T>
    static T* Find(const IdMap<T>& map, std::string_view id) {
        auto it = map.find(id);
        return it == map.end() ? nullptr : it->second;
    }

    void Clear();

    // Deques keep the objects in place as they are added; the maps' keys view their ids.
    std::deque<Node> nodes_;
    std::deque<Source> sources_;
    std::deque<Geometry> geometries_;
    std::deque<Controller> controllers_;
    std::deque<Material> materials_;
    std::deque<Effect> effects_;
    std::deque<Image> images_;
    IdMap<Node> nodeIds_, visualSceneIds_;
    IdMap<Geometry> geometryIds_;
    IdMap<Controller> controllerIds_;
    IdMap<Material> materialIds_;
    IdMap<Effect> effectIds_;
    IdMap<Image> imageIds_;
    const Node* sceneRoot_ = nullptr;
    UpAxis upAxis_ = UpAxis::Y;
    float unitMeters_ = 1;
    std::vector<std::string> diagnostics_;
};

} // namespace collada
