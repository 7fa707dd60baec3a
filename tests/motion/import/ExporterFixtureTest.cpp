// Documents in the styles of real exporters (tools/make-sample/make_fixtures.py writes them) import
// as the character their author made: a textured bar 2 m tall on joints Bone and Bone2 whose motion
// bends Bone2 by 90 degrees in one second. Each style writes it differently (up axis, unit, node
// layout, animation channels, material binding, texture paths); read with the document's axes,
// all give the same bar, the same texture and the same pose.
#include "ImportTestSupport.h"
#include "MzColladaReader.h"
#include "MzMath.h"
#include "MzMotion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace importtest;

namespace {

struct Fixture {
    const char* file;
    size_t joints;
    uint64_t triangles;
    const char* material; // the id bound to prim 0
    const char* texture;  // the file prim 0's texture was loaded from, relative to the fixtures
    BoundingBox bounds;   // with the document's axes, in the system's frame
    const char* feature;
};

const BoundingBox kBar{{-0.2f, 0, -0.2f, 1}, {0.2f, 2, 0.2f, 1}};

const Fixture kFixtures[] = {
    {"blender27_matrix.dae", 2, 20, "Material-material", "checker.png", kBar,
     "Z up, whole-matrix channels, joints matched by sid under the skeleton"},
    {"blender28_nested.dae", 2, 20, "Material-material", "checker.png", kBar,
     "nested animations in an action container; the skin placed by its bind shape, not its node"},
    {"maya_opencollada.dae", 2, 20, "lambert2", "checker.png", kBar,
     "centimetres; rotate channels; mesh node before the skeleton; symbol unlike the material id; "
     "texture path from another machine found beside the document"},
    {"max_opencollada.dae", 2, 20, "_1_-_Default-material", "checker.png", kBar,
     "inches; joint names with spaces matched by sid; diffuse texture naming its image directly"},
    {"fcollada_cells.dae", 2, 20, "Material01", "checker.png", kBar,
     "one channel per matrix cell; scene pose away from the bind pose (inverse bind matrices)"},
    {"godot_better_collada.dae",
     2,
     24,
     "id-material-9",
     "checker.png",
     {{-2, 0, -0.2f, 1}, {0.2f, 2, 0.2f, 1}},
     "polygons; generated sids; a concave static face beside the bar"},
    {"sketchup_instances.dae",
     0,
     40,
     "ID5",
     "sketchup/checker.png",
     {{-0.7f, 0, -0.2f, 1}, {0.7f, 2, 0.2f, 1}},
     "a library_nodes component placed twice by instance_node; lines left out"},
};

std::filesystem::path FixtureDir() {
    return std::filesystem::path(MZ_IMPORT_FIXTURES);
}

std::string NameOf(const testing::TestParamInfo<Fixture>& info) {
    std::string name = std::filesystem::path(info.param.file).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

void ExpectNear(const Vector4& got, float x, float y, float z, const char* what) {
    EXPECT_NEAR(got.x, x, 1e-3f) << what;
    EXPECT_NEAR(got.y, y, 1e-3f) << what;
    EXPECT_NEAR(got.z, z, 1e-3f) << what;
}

// The skinned position of the bar's top corner that the design puts at (0.2, 2, 0.2): x mirrored
// in the system's frame, bound wholly to Bone2.
Vector4 SkinnedTopCorner(const MzModel& model) {
    for (const MzPrim* prim : model.prims)
        for (uint32_t i = 0; i < prim->vertexBuffer.vertexCount; ++i) {
            Vertex v = ReadVertex(*prim, i);
            if (std::fabs(v.position[0] + 0.2f) > 1e-4f || std::fabs(v.position[1] - 2) > 1e-4f ||
                std::fabs(v.position[2] - 0.2f) > 1e-4f)
                continue;
            EXPECT_EQ(v.weights[0], 1.0f);
            Matrix4x4 skin;
            model.joints[v.indices[0]]->GetSkinMatrix(&skin);
            Vector4 out;
            TransformCoord4(skin, &out, {v.position[0], v.position[1], v.position[2], 1});
            return out;
        }
    ADD_FAILURE() << "no top corner";
    return {};
}

class ExporterStyle : public testing::TestWithParam<Fixture> {};

} // namespace

TEST_P(ExporterStyle, ImportsTheBarTexturedAndInPlace) {
    const Fixture& f = GetParam();
    Reports reports;
    MzModel model;
    std::vector<std::string> diagnostics, materials;
    MzColladaOptions options;
    options.documentAxes = true;
    ASSERT_TRUE(MzColladaReader::ReadModel((FixtureDir() / f.file).string(), model, 1.0f, &diagnostics,
                                           options, &materials))
        << f.feature;
    EXPECT_TRUE(diagnostics.empty()) << diagnostics.front();
    EXPECT_TRUE(reports.errorBoxes.empty()) << reports.errorBoxes.front();
    EXPECT_EQ(model.joints.Count(), f.joints) << f.feature;
    uint64_t triangles = 0;
    for (const MzPrim* prim : model.prims)
        triangles += prim->primitiveCount;
    EXPECT_EQ(triangles, f.triangles) << f.feature;
    ASSERT_FALSE(materials.empty());
    EXPECT_EQ(materials[0], f.material) << f.feature;
    const MzTexture* texture = model.prims[0]->textures[0];
    ASSERT_NE(texture, nullptr) << f.feature;
    EXPECT_EQ(texture->fileName, (FixtureDir() / f.texture).lexically_normal().string());
    EXPECT_TRUE(texture->lockSurface) << "texture loaded: " << f.feature;
    ExpectNear(model.bounds.min, f.bounds.min.x, f.bounds.min.y, f.bounds.min.z, "bounds min");
    ExpectNear(model.bounds.max, f.bounds.max.x, f.bounds.max.y, f.bounds.max.z, "bounds max");
}

TEST_P(ExporterStyle, TheMotionBendsTheUpperBone) {
    const Fixture& f = GetParam();
    if (f.joints == 0) GTEST_SKIP() << "static";
    Reports reports;
    const std::string path = (FixtureDir() / f.file).string();
    MzColladaOptions options;
    options.documentAxes = true;
    MzModel model;
    ASSERT_TRUE(MzColladaReader::ReadModel(path, model, 1.0f, nullptr, options));
    // Without a motion the bar stands as the scene shows it: straight, or for the FCollada document
    // bent 30 degrees away from the bind pose that its inverse bind matrices give.
    const float c30 = std::cos(3.14159265f / 6), s30 = std::sin(3.14159265f / 6);
    if (std::string(f.file) == "fcollada_cells.dae")
        ExpectNear(SkinnedTopCorner(model), -(0.2f * c30 - s30), 1 + 0.2f * s30 + c30, 0.2f, "scene pose");
    else
        ExpectNear(SkinnedTopCorner(model), -0.2f, 2, 0.2f, "scene pose");

    MzMotionData data;
    ASSERT_TRUE(MzColladaReader::ReadMotion(path, data, model, 1.0f, nullptr, options));
    ASSERT_EQ(data.curveCount, 2u);
    EXPECT_FALSE(data.curves[0].keys.Empty()) << f.feature;
    EXPECT_FALSE(data.curves[1].keys.Empty()) << f.feature;
    EXPECT_FLOAT_EQ(data.length, 1.0f);
    MzMotion player;
    player.Bind(model);
    player.Start(&data);
    player.Update(0);
    player.Apply(model);
    ExpectNear(SkinnedTopCorner(model), -0.2f, 2, 0.2f, "0 s: straight");
    // At 0.5 s Bone2 has turned 45 degrees about z at (0, 1, 0): the corner (0.2, 1) above it goes to
    // (0.2 cos 45 - sin 45, 0.2 sin 45 + cos 45), x mirrored in the system's frame.
    player.Update(500);
    player.Apply(model);
    const float c = std::cos(3.14159265f / 4), s = std::sin(3.14159265f / 4);
    ExpectNear(SkinnedTopCorner(model), -(0.2f * c - s), 1 + 0.2f * s + c, 0.2f, "0.5 s: bent 45 degrees");
}

TEST(ExporterStyle, DocumentsAreTakenAsTheyStandUnlessTheirAxesAreAsked) {
    Reports reports;
    MzModel centimetres, zUp;
    ASSERT_TRUE(
        MzColladaReader::ReadModel((FixtureDir() / "maya_opencollada.dae").string(), centimetres, 1.0f));
    ExpectNear(centimetres.bounds.max, 20, 200, 20, "Y up, in the document's centimetres");
    ASSERT_TRUE(MzColladaReader::ReadModel((FixtureDir() / "blender27_matrix.dae").string(), zUp, 1.0f));
    ExpectNear(zUp.bounds.min, -0.2f, -0.2f, 0, "lying along z");
    ExpectNear(zUp.bounds.max, 0.2f, 0.2f, 2, "lying along z");
}

TEST(ExporterStyle, AConcaveFaceIsCutIntoEarsInsideItsOutline) {
    // The Godot flag is an L: (0,0) (1,0) (1,0.4) (0.4,0.4) (0.4,1) (0,1), placed at x + 1 and mirrored.
    Reports reports;
    MzModel model;
    MzColladaOptions options;
    options.documentAxes = true;
    ASSERT_TRUE(MzColladaReader::ReadModel((FixtureDir() / "godot_better_collada.dae").string(), model, 1.0f,
                                           nullptr, options));
    ASSERT_EQ(model.prims.Count(), 2u);
    const MzPrim& flag = *model.prims[1];
    ASSERT_EQ(flag.primitiveCount, 4u);
    float area = 0;
    for (uint32_t t = 0; t < 4; ++t) {
        Vertex a = ReadVertex(flag, 3 * t), b = ReadVertex(flag, 3 * t + 1), c = ReadVertex(flag, 3 * t + 2);
        float x = -(a.position[0] + b.position[0] + c.position[0]) / 3 - 1;
        float y = (a.position[1] + b.position[1] + c.position[1]) / 3;
        EXPECT_FALSE(x > 0.4f && y > 0.4f) << "triangle " << t << " lies in the notch";
        area += std::fabs((b.position[0] - a.position[0]) * (c.position[1] - a.position[1]) -
                          (c.position[0] - a.position[0]) * (b.position[1] - a.position[1])) /
                2;
    }
    EXPECT_NEAR(area, 1 - 0.36f, 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ExporterStyle, testing::ValuesIn(kFixtures), NameOf);
