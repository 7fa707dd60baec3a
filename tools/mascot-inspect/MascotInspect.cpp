// mascot-inspect FILE.dae [MOTION.dae ...]
//
// Imports a model (and motions for it) as a mascot would, without any window, and prints one
// line per joint, prim, texture, motion curve, then the bounds and every message the import
// produced: error boxes and message-window texts come to stdout here, as do the problems the
// document reader read past. Exit status 0 when the model loaded, 1 when it did not.
#include "MzColladaReader.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzMotion.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Collects what the import reports instead of showing it.
class CollectingViews : public MzErrorBoxView, public MzMessageWindowView {
  public:
    std::vector<std::string> messages;

    void Show(const std::string& text) override { messages.push_back("error box: " + text); }
    void SetText(const std::string& text) override {
        std::string line = text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        messages.push_back("message window: " + line);
    }
    void Show() override {}
    void Hide() override {}
};

void PrintColor(const char* label, const Vector4& c) {
    std::printf(" %s (%g %g %g)", label, c.x, c.y, c.z);
}

void PrintJoints(const MzModel& model) {
    for (size_t i = 0; i < model.joints.Count(); ++i) {
        const MzJoint* joint = model.joints[i];
        const auto* parent = static_cast<const MzJoint*>(joint->parent);
        std::printf("joint %zu: %s (parent %s)\n", i, joint->name.c_str(),
                    parent ? parent->name.c_str() : "-");
    }
}

void PrintPrims(const MzModel& model) {
    uint64_t triangles = 0;
    for (size_t i = 0; i < model.prims.Count(); ++i) {
        const MzPrim* prim = model.prims[i];
        triangles += prim->primitiveCount;
        std::printf("prim %zu: %u triangles,", i, prim->primitiveCount);
        PrintColor("diffuse", prim->material.diffuse);
        PrintColor("ambient", prim->material.ambient);
        PrintColor("specular", prim->material.specular);
        PrintColor("emissive", prim->material.emissive);
        std::printf(" power %g transparency %g\n", prim->material.power, prim->material.transparency);
        for (int s = 0; s < kPrimTextureSlots; ++s)
            if (const MzTexture* t = prim->textures[s])
                std::printf("  texture %d: %s (%s)\n", s, t->fileName.c_str(),
                            t->lockSurface ? "loaded" : "not loaded");
    }
    std::printf("triangles: %llu\n", static_cast<unsigned long long>(triangles));
}

void PrintBounds(const MzModel& model) {
    const BoundingBox& b = model.bounds;
    std::printf("bounds: (%g %g %g) - (%g %g %g)\n", b.min.x, b.min.y, b.min.z, b.max.x, b.max.y, b.max.z);
}

void PrintMotion(const char* path, const MzMotionData& data, const MzModel& model) {
    std::printf("motion %s: length %g s, %u curves\n", path, data.length, data.curveCount);
    for (uint32_t i = 0; i < data.curveCount; ++i)
        std::printf("  curve %u (%s): %zu keys\n", i, model.joints[i]->name.c_str(),
                    data.curves[i].keys.Count());
}

void AddDiagnostics(CollectingViews& views, const char* path, const std::vector<std::string>& diagnostics) {
    for (const std::string& d : diagnostics)
        views.messages.push_back(std::string("document ") + path + ": " + d);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mascot-inspect FILE.dae [MOTION.dae ...]\n");
        return 1;
    }
    CollectingViews views;
    MzSetErrorBoxView(&views);
    MzSetMessageWindowView(&views);
    MzModel model;
    std::vector<std::string> diagnostics;
    bool loaded = MzColladaReader::ReadModel(argv[1], model, 1.0f, &diagnostics);
    AddDiagnostics(views, argv[1], diagnostics);
    std::printf("model %s: %s\n", argv[1], loaded ? "loaded" : "not loaded");
    PrintJoints(model);
    PrintPrims(model);
    PrintBounds(model);
    for (int i = 2; i < argc; ++i) {
        MzMotionData data;
        MzColladaReader::ReadMotion(argv[i], data, model, 1.0f, &diagnostics);
        AddDiagnostics(views, argv[i], diagnostics);
        PrintMotion(argv[i], data, model);
    }
    MzSetErrorBoxView(nullptr);
    MzSetMessageWindowView(nullptr);
    std::printf("messages: %zu\n", views.messages.size());
    for (const std::string& m : views.messages)
        std::printf("%s\n", m.c_str());
    return loaded ? 0 : 1;
}
