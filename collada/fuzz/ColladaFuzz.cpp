// libFuzzer target: any bytes given to the document loader must load or fail, never crash,
// and a loaded document's scene must be walkable.
#include "ColladaDocument.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

size_t Walk(const collada::Node* node) {
    if (!node) return 0;
    size_t count = node->transforms.size() + node->instances.size();
    collada::Matrix4 world = node->WorldTransform();
    count += world.At(0, 0) != 0;
    for (const collada::Instance& i : node->instances)
        if (i.controller) count += i.controller->BaseGeometry() != nullptr;
    for (const collada::Node* child : node->children)
        count += Walk(child);
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    collada::Document doc;
    std::string_view xml(reinterpret_cast<const char*>(data), size);
    if (doc.LoadFromMemory(xml, "/fuzz/input.dae")) Walk(doc.SceneRoot());
    return 0;
}
