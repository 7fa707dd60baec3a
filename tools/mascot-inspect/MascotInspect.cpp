// mascot-inspect [OPTIONS] FILE.dae [MOTION.dae ...]   (options anywhere; --help lists them)
//
// Imports a model (and motions for it) as a mascot would, without any window, and prints one
// line per joint, prim (with the material it bound), texture, motion curve, then the bounds and
// every message the import produced: error boxes and message-window texts come to stdout here, as
// do the problems the document reader read past. Exit status 0 when the model loaded, 1 when it
// did not or the command line was wrong; --help prints the usage and exits 0.
//
// --snapshot also renders one frame of the model (posed by the first motion at --time, if given)
// through the mask and normal passes and writes the colour image and the mask (default
// OUT.mask.png) as PNG files; it needs a display with OpenGL (xvfb-run is enough). The cameras
// look along +z: --turn 180 shows the face of a model that faces +z.
#include "MzColladaReader.h"
#include "MzLog.h"
#include "MzModel.h"
#include "MzMotion.h"
#include "MzSnapshot.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

void PrintPrims(const MzModel& model, const std::vector<std::string>& materials) {
    uint64_t triangles = 0;
    for (size_t i = 0; i < model.prims.Count(); ++i) {
        const MzPrim* prim = model.prims[i];
        triangles += prim->primitiveCount;
        const std::string material = i < materials.size() ? materials[i] : std::string();
        std::printf("prim %zu: %u triangles, material %s,", i, prim->primitiveCount,
                    material.empty() ? "-" : material.c_str());
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
    uint32_t keyed = 0;
    for (uint32_t i = 0; i < data.curveCount; ++i)
        keyed += !data.curves[i].keys.Empty();
    std::printf("motion %s: length %g s, %u curves, %u with keys\n", path, data.length, data.curveCount, keyed);
    for (uint32_t i = 0; i < data.curveCount; ++i)
        std::printf("  curve %u (%s): %zu keys\n", i, model.joints[i]->name.c_str(),
                    data.curves[i].keys.Count());
}

void AddDiagnostics(CollectingViews& views, const char* path, const std::vector<std::string>& diagnostics) {
    for (const std::string& d : diagnostics)
        views.messages.push_back(std::string("document ") + path + ": " + d);
}

struct Snapshot {
    std::string colourPath;
    std::string maskPath;
    float time = -1; // seconds into the first motion; negative: the bind pose
    MzSnapshotOptions options;
};

struct CommandLine {
    std::vector<std::string> files; // the model, then its motions
    Snapshot snapshot;
    MzColladaOptions import;
    bool help = false;
};

const char kUsage[] =
    "usage: mascot-inspect [OPTIONS] FILE.dae [MOTION.dae ...]\n"
    "  --axes as-is|document   take the documents as Y up in their own units (default), or honour\n"
    "                          their up_axis and unit\n"
    "  --snapshot OUT.png      render one frame into OUT.png and its mask (needs a display)\n"
    "  --mask MASK.png         where the mask goes (default OUT.mask.png)\n"
    "  --time SECONDS          pose the model by the first motion at this time\n"
    "  --camera perspective|2d the snapshot's camera\n"
    "  --turn DEGREES          turn the model about the vertical axis\n"
    "  --size WxH              the snapshot's size\n"
    "  --help                  print this and exit\n";

bool IsOption(const std::string& arg) {
    for (const char* known : {"--axes", "--snapshot", "--mask", "--time", "--camera", "--turn", "--size"})
        if (arg == known) return true;
    return false;
}

// One option and its value; false when the option is unknown or its value malformed.
bool ParseOption(const std::string& option, const std::string& value, CommandLine* line) {
    Snapshot* snapshot = &line->snapshot;
    char* end = nullptr;
    if (option == "--axes") {
        if (value != "as-is" && value != "document") return false;
        line->import.documentAxes = value == "document";
    } else if (option == "--snapshot") {
        snapshot->colourPath = value;
    } else if (option == "--mask") {
        snapshot->maskPath = value;
    } else if (option == "--time") {
        snapshot->time = std::strtof(value.c_str(), &end);
        if (*end != '\0' || !std::isfinite(snapshot->time) || snapshot->time < 0) return false;
    } else if (option == "--camera") {
        if (value != "perspective" && value != "2d") return false;
        snapshot->options.camera = value == "2d" ? MzSnapshotCamera::Flat2D : MzSnapshotCamera::Perspective;
    } else if (option == "--turn") {
        const float degrees = std::strtof(value.c_str(), &end);
        if (*end != '\0' || !std::isfinite(degrees)) return false;
        snapshot->options.yaw = degrees * 3.14159265f / 180;
    } else if (option == "--size") {
        char x = 0;
        if (std::sscanf(value.c_str(), "%d%c%d", &snapshot->options.width, &x, &snapshot->options.height) != 3 ||
            x != 'x' || snapshot->options.width <= 0 || snapshot->options.height <= 0)
            return false;
    }
    return true;
}

// Options (each with its value) anywhere among the files; false with the reason on stderr.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            line->help = true;
            return true;
        }
        if (arg.rfind("--", 0) != 0) {
            line->files.push_back(arg);
            continue;
        }
        if (!IsOption(arg)) {
            std::fprintf(stderr, "mascot-inspect: unknown option %s\n", arg.c_str());
            return false;
        }
        if (i + 1 == args.size()) {
            std::fprintf(stderr, "mascot-inspect: %s needs a value\n", arg.c_str());
            return false;
        }
        if (!ParseOption(arg, args[++i], line)) {
            std::fprintf(stderr, "mascot-inspect: bad option %s %s\n", arg.c_str(), args[i].c_str());
            return false;
        }
    }
    Snapshot& snapshot = line->snapshot;
    if (!snapshot.colourPath.empty() && snapshot.maskPath.empty()) {
        std::string base = snapshot.colourPath;
        if (base.size() > 4 && base.compare(base.size() - 4, 4, ".png") == 0) base.resize(base.size() - 4);
        snapshot.maskPath = base + ".mask.png";
    }
    if (line->files.empty()) std::fprintf(stderr, "mascot-inspect: no model given\n");
    return !line->files.empty();
}

// Poses the model by the motion at `time` seconds and renders the snapshot; false when it failed.
bool TakeSnapshot(MzModel& model, const MzMotionData* motion, const Snapshot& snapshot) {
    if (motion != nullptr && snapshot.time >= 0) {
        MzMotion player;
        player.Bind(model);
        player.Start(motion);
        player.Update(static_cast<uint32_t>(std::lround(snapshot.time * 1000)));
        player.Apply(model);
    }
    MzSnapshotResult result;
    std::string error;
    if (!MzRenderSnapshot(model, snapshot.options, snapshot.colourPath, snapshot.maskPath, &result, &error)) {
        std::printf("snapshot: failed: %s\n", error.c_str());
        return false;
    }
    std::printf("snapshot: %s, mask %s, %zu rectangles, bounds (%d %d %d %d)\n", snapshot.colourPath.c_str(),
                snapshot.maskPath.c_str(), result.rectangles, result.bounds.left, result.bounds.top,
                result.bounds.right, result.bounds.bottom);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line)) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (line.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const Snapshot& snapshot = line.snapshot;
    CollectingViews views;
    MzSetErrorBoxView(&views);
    MzSetMessageWindowView(&views);
    MzModel model;
    std::vector<std::string> diagnostics, materials;
    const char* modelPath = line.files[0].c_str();
    bool loaded = MzColladaReader::ReadModel(modelPath, model, 1.0f, &diagnostics, line.import, &materials);
    AddDiagnostics(views, modelPath, diagnostics);
    std::printf("model %s: %s\n", modelPath, loaded ? "loaded" : "not loaded");
    PrintJoints(model);
    PrintPrims(model, materials);
    PrintBounds(model);
    std::vector<std::unique_ptr<MzMotionData>> motions;
    for (size_t i = 1; i < line.files.size(); ++i) {
        auto data = std::make_unique<MzMotionData>();
        MzColladaReader::ReadMotion(line.files[i], *data, model, 1.0f, &diagnostics, line.import);
        AddDiagnostics(views, line.files[i].c_str(), diagnostics);
        PrintMotion(line.files[i].c_str(), *data, model);
        motions.push_back(std::move(data));
    }
    bool snapshotFailed = false;
    if (loaded && !snapshot.colourPath.empty())
        snapshotFailed = !TakeSnapshot(model, motions.empty() ? nullptr : motions.front().get(), snapshot);
    MzSetErrorBoxView(nullptr);
    MzSetMessageWindowView(nullptr);
    std::printf("messages: %zu\n", views.messages.size());
    for (const std::string& m : views.messages)
        std::printf("%s\n", m.c_str());
    return loaded && !snapshotFailed ? 0 : 1;
}
