// Model import: triangulation, conversion, skin reduction, materials, textures, joints, reports.
#include "ImportTestSupport.h"
#include "MzColladaReader.h"

#include <gtest/gtest.h>

using namespace importtest;

namespace {

// A geometry "g" with the given sources and polygon sets.
std::string Geometry(const std::string& mesh, const std::string& id = "g") {
    return "<library_geometries><geometry id=\"" + id + "\"><mesh>" + mesh +
           "</mesh></geometry></library_geometries>";
}

std::string FloatSource(const std::string& id, const std::string& values, int stride) {
    return "<source id=\"" + id + "\"><float_array id=\"" + id + "-a\">" + values +
           "</float_array><technique_common><accessor source=\"#" + id + "-a\" stride=\"" +
           std::to_string(stride) + "\"/></technique_common></source>";
}

const std::string kQuadPositions =
    FloatSource("pos", "0 0 0  1 0 0  1 1 0  0 1 0", 3) +
    "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#pos\"/></vertices>";

std::string InstanceGeometry(const std::string& bindings = "") {
    std::string bm = bindings.empty() ? ""
                                      : "<bind_material><technique_common>" + bindings +
                                            "</technique_common></bind_material>";
    return "<node id=\"n\"><instance_geometry url=\"#g\">" + bm + "</instance_geometry></node>";
}

struct Imported {
    MzModel model;
    bool loaded = false;
};

std::unique_ptr<Imported> Import(const std::string& xml, float scale = 1.0f) {
    TempFile file(xml);
    auto result = std::make_unique<Imported>();
    result->loaded = MzColladaReader::ReadModel(file.Path(), result->model, scale);
    return result;
}

void ExpectPosition(const Vertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.position[0], x, 1e-5f);
    EXPECT_NEAR(v.position[1], y, 1e-5f);
    EXPECT_NEAR(v.position[2], z, 1e-5f);
}

// A 1 × 1 24-bit BMP.
std::string TinyBmp() {
    const unsigned char bytes[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0,   0, 1, 0,
                                   0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0,   0, 0, 0,
                                   0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 255, 0};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

} // namespace

// ---- Triangles ------------------------------------------------------------------------

TEST(ImportModel, QuadBecomesAFanStoredInOrderAndDrawnReversed) {
    auto r = Import(
        Dae(Geometry(kQuadPositions + R"(<polylist count="1"><input semantic="VERTEX" source="#v" offset="0"/>
        <vcount>4</vcount><p>0 1 2 3</p></polylist>)") +
            Scene(InstanceGeometry())));
    ASSERT_TRUE(r->loaded);
    ASSERT_EQ(r->model.prims.Count(), 1u);
    const MzPrim& prim = *r->model.prims[0];
    EXPECT_EQ(prim.primitiveCount, 2u);
    EXPECT_EQ(prim.vertexBuffer.vertexCount, 6u);
    EXPECT_EQ(prim.flags & kPrimInModel, kPrimInModel);
    EXPECT_TRUE(prim.renderState.twoSided);
    // A B C A C D, x mirrored.
    const float expected[6][3] = {{0, 0, 0}, {-1, 0, 0}, {-1, 1, 0}, {0, 0, 0}, {-1, 1, 0}, {0, 1, 0}};
    for (uint32_t i = 0; i < 6; ++i)
        ExpectPosition(ReadVertex(prim, i), expected[i][0], expected[i][1], expected[i][2]);
    EXPECT_EQ(prim.indexBuffer.data, (std::vector<uint16_t>{2, 1, 0, 5, 4, 3}));
    EXPECT_NEAR(r->model.bounds.min.x, -1.0f, 1e-5f);
    EXPECT_NEAR(r->model.bounds.max.y, 1.0f, 1e-5f);
}

TEST(ImportModel, FacesOfTwoOrFewerVerticesAreSkippedButConsumeTheirIndices) {
    auto r = Import(
        Dae(Geometry(kQuadPositions + R"(<polylist count="4"><input semantic="VERTEX" source="#v" offset="0"/>
        <vcount>2 1 0 3</vcount><p>0 0 0 1 2 3</p></polylist>)") +
            Scene(InstanceGeometry())));
    ASSERT_EQ(r->model.prims.Count(), 1u);
    const MzPrim& prim = *r->model.prims[0];
    ASSERT_EQ(prim.primitiveCount, 1u);
    ExpectPosition(ReadVertex(prim, 0), -1, 0, 0);
    ExpectPosition(ReadVertex(prim, 2), 0, 1, 0);
}

TEST(ImportModel, ConversionOfPositionsNormalsAndTextureCoordinates) {
    auto r = Import(Dae(Geometry(FloatSource("pos", "1 2 3", 3) + FloatSource("nrm", "0 0 1", 3) +
                                 FloatSource("uv0", "0.5 0.5", 2) + FloatSource("uv1", "0.25 0.75", 2) +
                                 R"(<vertices id="v"><input semantic="POSITION" source="#pos"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="NORMAL" source="#nrm" offset="0"/>
          <input semantic="TEXCOORD" source="#uv1" offset="0" set="1"/><input semantic="TEXCOORD" source="#uv0" offset="1" set="0"/>
          <input semantic="COLOR" source="#nrm" offset="0"/>
          <p>0 0 0 0 0 0</p></triangles>)") +
                        Scene(InstanceGeometry())),
                    2.0f);
    ASSERT_EQ(r->model.prims.Count(), 1u);
    Vertex v = ReadVertex(*r->model.prims[0], 0);
    ExpectPosition(v, -2, 4, 6);
    EXPECT_NEAR(v.normal[0], 0, 1e-5f);
    EXPECT_NEAR(v.normal[2], 1, 1e-5f);
    // The later TEXCOORD input wins.
    EXPECT_FLOAT_EQ(v.uv[0], 0.5f);
    EXPECT_FLOAT_EQ(v.uv[1], 0.5f);
    // Unskinned: weight 1 on joint 0.
    EXPECT_EQ(v.weights[0], 1.0f);
    EXPECT_EQ(v.indices[0], 0);
}

TEST(ImportModel, TextureCoordinateVIsFlippedAndMissingInputsGiveZero) {
    auto r = Import(Dae(Geometry(FloatSource("pos", "1 2 3", 3) + FloatSource("uv", "0.25 0.75", 2) +
                                 R"(<vertices id="v"><input semantic="POSITION" source="#pos"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="TEXCOORD" source="#uv" offset="0"/>
          <p>0 0 0</p></triangles>)") +
                        Scene(InstanceGeometry())));
    Vertex v = ReadVertex(*r->model.prims[0], 1);
    EXPECT_FLOAT_EQ(v.uv[0], 0.25f);
    EXPECT_FLOAT_EQ(v.uv[1], 0.25f);
    EXPECT_EQ(v.normal[0], 0.0f);
    EXPECT_EQ(v.normal[1], 0.0f);
    EXPECT_EQ(v.normal[2], 0.0f);
}

TEST(ImportModel, LinesBuildNoPrimStripsDoAndIndicesOutOfRangeReadAsZero) {
    auto r = Import(
        Dae(Geometry(kQuadPositions +
                     R"(<lines count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1</p></lines>
        <tristrips count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2 3</p></tristrips>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>1 999 4294967295</p></triangles>)") +
            Scene(InstanceGeometry())));
    ASSERT_EQ(r->model.prims.Count(), 2u);
    EXPECT_EQ(r->model.prims[0]->primitiveCount, 2u) << "the strip";
    ExpectPosition(ReadVertex(*r->model.prims[1], 0), -1, 0, 0);
    ExpectPosition(ReadVertex(*r->model.prims[1], 1), 0, 0, 0);
    ExpectPosition(ReadVertex(*r->model.prims[1], 2), 0, 0, 0);
}

TEST(ImportModel, LargePolygonSetsContinueInFurtherPrimsWithValidIndices) {
    const uint32_t triangles = 30000;
    std::string p;
    p.reserve(triangles * 6);
    for (uint32_t t = 0; t < triangles; ++t)
        p += "0 1 2 ";
    auto r = Import(Dae(Geometry(kQuadPositions +
                                 "<triangles count=\"30000\" material=\"m\">"
                                 "<input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>" +
                                 p + "</p></triangles>") +
                        R"(<library_effects><effect id="e"><profile_COMMON><technique sid="t"><lambert>
            <diffuse><color>1 0 0 1</color></diffuse></lambert></technique></profile_COMMON></effect></library_effects>
          <library_materials><material id="m"><instance_effect url="#e"/></material></library_materials>)" +
                        Scene(InstanceGeometry(R"(<instance_material symbol="m" target="#m"/>)"))));
    ASSERT_EQ(r->model.prims.Count(), 2u);
    const MzPrim& first = *r->model.prims[0];
    const MzPrim& second = *r->model.prims[1];
    EXPECT_EQ(first.primitiveCount, kMaxPrimTriangles);
    EXPECT_EQ(second.primitiveCount, triangles - kMaxPrimTriangles);
    EXPECT_EQ(second.material.diffuse.y, 0.0f); // the same material on both
    for (const MzPrim* prim : {&first, &second}) {
        uint16_t largest = *std::max_element(prim->indexBuffer.data.begin(), prim->indexBuffer.data.end());
        EXPECT_EQ(largest, prim->vertexBuffer.vertexCount - 1);
    }
    ExpectPosition(ReadVertex(second, second.vertexBuffer.vertexCount - 1), -1, 1, 0);
}

// ---- Skin ---------------------------------------------------------------------------------

namespace {

// Joints J4 J3 J2 J1 J0 Hip in the scene (model positions 0 to 5); a triangle skinned by `weights`.
std::string SkinnedTriangle(const std::string& vcount, const std::string& v, const std::string& weights) {
    return Dae(Geometry(FloatSource("pos", "0 0 0  1 0 0  0 1 0", 3) +
                        R"(<vertices id="v"><input semantic="POSITION" source="#pos"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>)") +
               R"(<library_controllers><controller id="c"><skin source="#g">
        <source id="j"><Name_array id="ja">J0 J1 J2 J3 J4 Hip Nobody</Name_array></source>)" +
               FloatSource("w", weights, 1) + R"(<joints><input semantic="JOINT" source="#j"/></joints>
        <vertex_weights><input semantic="JOINT" source="#j" offset="0"/><input semantic="WEIGHT" source="#w" offset="1"/>
          <vcount>)" +
               vcount + "</vcount><v>" + v +
               R"(</v></vertex_weights></skin></controller></library_controllers>)" +
               Scene(R"(<node id="J4" type="JOINT"><node id="J3" type="JOINT"><node id="J2" type="JOINT">
          <node id="J1" type="JOINT"><node id="J0" type="JOINT"/></node></node></node></node>
          <node id="Hip" type="JOINT"/><node id="skinned"><instance_controller url="#c"/></node>)"));
}

} // namespace

TEST(ImportModel, FiveInfluencesReduceToFourWithTheWeightFix) {
    auto r = Import(SkinnedTriangle("5 1", "0 0 1 1 2 2 3 3 4 4  5 5", "0.1 0.3 0.2 0.15 0.25 1.0"));
    ASSERT_EQ(r->model.joints.Count(), 6u);
    ASSERT_EQ(r->model.prims.Count(), 1u);
    const MzPrim& prim = *r->model.prims[0];
    // Kept J4 0.25, J1 0.3, J2 0.2, J3 0.15 + 0.1.
    Vertex v = ReadVertex(prim, 0);
    EXPECT_FLOAT_EQ(v.weights[0], 0.25f);
    EXPECT_FLOAT_EQ(v.weights[1], 0.3f);
    EXPECT_FLOAT_EQ(v.weights[2], 0.2f);
    EXPECT_EQ(v.indices[0], 0); // J4
    EXPECT_EQ(v.indices[1], 3); // J1
    EXPECT_EQ(v.indices[2], 2); // J2
    EXPECT_EQ(v.indices[3], 1); // J3
    // A single influence: weight 1 on Hip, nothing else written.
    Vertex hip = ReadVertex(prim, 1);
    EXPECT_EQ(hip.weights[0], 1.0f);
    EXPECT_EQ(hip.weights[1], 0.0f);
    EXPECT_EQ(hip.indices[0], 5);
    EXPECT_EQ(hip.indices[1], 0);
    // Position index 2 has no influence list: nothing written.
    Vertex none = ReadVertex(prim, 2);
    EXPECT_EQ(none.weights[0], 0.0f);
}

TEST(ImportModel, InfluenceOnAnUnknownJointNameGoesToJointZero) {
    auto r = Import(SkinnedTriangle("2", "6 0 5 1", "0.5 0.5"));
    Vertex v = ReadVertex(*r->model.prims[0], 0);
    EXPECT_EQ(v.indices[0], 0);
    EXPECT_EQ(v.indices[1], 5);
    EXPECT_FLOAT_EQ(v.weights[0], 0.5f);
}

// ---- Joints -------------------------------------------------------------------------------

TEST(ImportModel, JointsInPreOrderWithParentsOnlyThroughJointNodes) {
    auto r = Import(Dae(Scene(R"(<node id="A"><translate>1 0 0</translate>
        <node id="B" type="JOINT"><translate>0 1 0</translate><node id="C" type="JOINT"><translate>0 0 2</translate></node></node>
      </node><node id="D" name="Dee" type="JOINT"/>)")),
                    2.0f);
    ASSERT_TRUE(r->loaded);
    ASSERT_EQ(r->model.joints.Count(), 3u);
    const MzJoint* b = r->model.joints[0];
    const MzJoint* c = r->model.joints[1];
    EXPECT_EQ(b->name, "B");
    EXPECT_EQ(b->parent, nullptr);
    EXPECT_EQ(c->name, "C");
    EXPECT_EQ(c->parent, b);
    EXPECT_EQ(r->model.joints[2]->name, "Dee");
    // B's bind pose includes A's translation: world (1, 1, 0), scaled by 2, x mirrored.
    EXPECT_NEAR(b->localMatrix.m[3][0], -2.0f, 1e-5f);
    EXPECT_NEAR(b->localMatrix.m[3][1], 2.0f, 1e-5f);
    EXPECT_NEAR(b->localMatrix.m[3][2], 0.0f, 1e-5f);
    EXPECT_NEAR(b->offsetMatrix.m[3][0], -2.0f, 1e-5f);
    // C: world (1, 1, 2) becomes (-2, 2, 4).
    EXPECT_NEAR(c->localMatrix.m[3][0], -2.0f, 1e-5f);
    EXPECT_NEAR(c->localMatrix.m[3][2], 4.0f, 1e-5f);
    // The axes carry the z mirror and the half turn: x flips, the residue of the float π stays tiny.
    EXPECT_NEAR(c->localMatrix.m[0][0], -1.0f, 1e-6f);
    EXPECT_NE(c->localMatrix.m[0][2], 0.0f);
    EXPECT_NEAR(c->localMatrix.m[0][2], 0.0f, 1e-6f);
}

TEST(ImportModel, BindMatrixMirrorsRotations) {
    // 90° about z maps x to y and y to -x; transposed into rows and followed by the half turn,
    // which flips x: rows (0, 1, 0) and (1, 0, 0).
    auto r = Import(Dae(Scene(R"(<node id="J" type="JOINT"><rotate>0 0 1 90</rotate></node>)")));
    const Matrix4x4& m = r->model.joints[0]->localMatrix;
    EXPECT_NEAR(m.m[0][0], 0.0f, 1e-5f);
    EXPECT_NEAR(m.m[0][1], 1.0f, 1e-5f);
    EXPECT_NEAR(m.m[1][0], 1.0f, 1e-5f);
    EXPECT_NEAR(m.m[1][1], 0.0f, 1e-5f);
}

// ---- Materials and textures --------------------------------------------------------------

namespace {

const char* kTwoSamplerEffect = R"(
  <library_images><image id="i0"><init_from>tiny.bmp</init_from></image>
    <image id="i1"><init_from>missing.png</init_from></image></library_images>
  <library_effects><effect id="e"><profile_COMMON>
    <newparam sid="s0"><surface type="2D"><init_from>i0</init_from></surface></newparam>
    <newparam sid="smp0"><sampler2D><source>s0</source></sampler2D></newparam>
    <newparam sid="s1"><surface type="2D"><init_from>i1</init_from></surface></newparam>
    <newparam sid="smp1"><sampler2D><source>s1</source></sampler2D></newparam>
    <technique sid="t"><phong>
      <emission><color>0.1 0.2 0.3 1</color></emission><ambient><color>0.4 0.5 0.6 1</color></ambient>
      <diffuse><color>0.5 0.6 0.7 0.25</color></diffuse><specular><color>0.7 0.8 0.9 1</color></specular>
      <spec_level><float>2</float></spec_level></phong></technique></profile_COMMON></effect>
    <effect id="red"><profile_COMMON><technique sid="t"><lambert><diffuse><color>1 0 0 1</color></diffuse></lambert>
    </technique></profile_COMMON></effect></library_effects>
  <library_materials><material id="m1"><instance_effect url="#e"/></material>
    <material id="m2"><instance_effect url="#red"/></material></library_materials>)";

const std::string kMaterialTriangle =
    R"(<triangles count="1" material="m1"><input semantic="VERTEX" source="#v" offset="0"/>
    <p>0 1 2</p></triangles>)";

} // namespace

TEST(ImportModel, MaterialColoursAndOneTexturePerSamplerImage) {
    Reports reports;
    TempFile file(Dae(Geometry(kQuadPositions + kMaterialTriangle) + kTwoSamplerEffect +
                      Scene(InstanceGeometry(R"(<instance_material symbol="s" target="#m1"/>)"))));
    std::ofstream(std::filesystem::path(file.Dir()) / "tiny.bmp", std::ios::binary) << TinyBmp();
    MzModel model;
    ASSERT_TRUE(MzColladaReader::ReadModel(file.Path(), model, 1.0f));
    ASSERT_EQ(model.prims.Count(), 1u);
    const MzPrim& prim = *model.prims[0];
    EXPECT_FLOAT_EQ(prim.material.diffuse.x, 0.5f);
    EXPECT_FLOAT_EQ(prim.material.diffuse.w, 1.0f);
    EXPECT_FLOAT_EQ(prim.material.transparency, 0.75f);
    EXPECT_FLOAT_EQ(prim.material.ambient.y, 0.5f);
    EXPECT_FLOAT_EQ(prim.material.specular.z, 0.9f);
    EXPECT_FLOAT_EQ(prim.material.emissive.x, 0.1f);
    EXPECT_FLOAT_EQ(prim.material.power, 2.0f);
    ASSERT_EQ(model.textures.Count(), 2u);
    EXPECT_EQ(prim.textures[0], model.textures[0]);
    EXPECT_EQ(prim.textures[1], model.textures[1]);
    EXPECT_EQ(prim.textures[2], nullptr);
    EXPECT_TRUE(model.textures[0]->lockSurface) << "tiny.bmp decodes";
    EXPECT_FALSE(model.textures[1]->lockSurface);
    std::string missing = file.Dir() + "/missing.png";
    EXPECT_EQ(reports.errorBoxes,
              std::vector<std::string>{"ERROR : texutre not found (\"" + missing + "\")"});
}

TEST(ImportModel, MaterialsBindBySymbolBeforeTargetId) {
    // The set's material "m1" is the symbol bound to m2 (red): the symbol decides.
    auto bound = Import(Dae(Geometry(kQuadPositions + kMaterialTriangle) + kTwoSamplerEffect +
                            Scene(InstanceGeometry(R"(<instance_material symbol="m1" target="#m2"/>)"))));
    ASSERT_EQ(bound->model.prims.Count(), 1u);
    EXPECT_EQ(bound->model.prims[0]->material.diffuse.x, 1.0f);
    EXPECT_EQ(bound->model.prims[0]->material.diffuse.y, 0.0f);
    EXPECT_EQ(bound->model.textures.Count(), 0u);
    // No symbol matches: the bound material whose id is "m1", as before.
    auto byId = Import(Dae(Geometry(kQuadPositions + kMaterialTriangle) + kTwoSamplerEffect +
                           Scene(InstanceGeometry(R"(<instance_material symbol="x" target="#m2"/>
                                 <instance_material symbol="y" target="#m1"/>)"))));
    ASSERT_EQ(byId->model.prims.Count(), 1u);
    EXPECT_FLOAT_EQ(byId->model.prims[0]->material.diffuse.x, 0.5f);
    // Neither: the prim default.
    auto none = Import(Dae(Geometry(kQuadPositions + kMaterialTriangle) + kTwoSamplerEffect +
                           Scene(InstanceGeometry(R"(<instance_material symbol="x" target="#m2"/>)"))));
    EXPECT_EQ(none->model.prims[0]->material.diffuse.y, 1.0f);
    EXPECT_EQ(none->model.prims[0]->material.power, 5.0f);
}

TEST(ImportModel, EveryInstanceBuildsItsOwnPrimsAndTextures) {
    Reports reports;
    auto r = Import(Dae(Geometry(kQuadPositions + kMaterialTriangle) + kTwoSamplerEffect +
                        Scene(InstanceGeometry(R"(<instance_material symbol="s" target="#m1"/>)") +
                              R"(<node id="n2"><instance_geometry url="#g"><bind_material><technique_common>
                <instance_material symbol="s" target="#m1"/></technique_common></bind_material></instance_geometry></node>)")));
    EXPECT_EQ(r->model.prims.Count(), 2u);
    EXPECT_EQ(r->model.textures.Count(), 4u);
    EXPECT_NE(r->model.prims[0]->textures[0], r->model.prims[1]->textures[0]);
}

// ---- Reports -------------------------------------------------------------------------------

TEST(ImportModel, MessageWindowAroundTheImport) {
    Reports reports;
    TempFile file(Dae(Scene("")));
    MzModel model;
    EXPECT_TRUE(MzColladaReader::ReadModel(file.Path(), model, 1.0f));
    EXPECT_EQ(reports.texts, std::vector<std::string>{"モデルの読込中(" + file.Path() + ")\n"});
    EXPECT_EQ(reports.shown, 1);
    EXPECT_EQ(reports.hidden, 1);
    EXPECT_TRUE(reports.errorBoxes.empty());
}

TEST(ImportModel, ADocumentThatDoesNotLoadLeavesTheModelAsItWas) {
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"truncated", Dae(Scene("<node id=\"a\" type=\"JOINT\">")).substr(0, 150)},
        {"entity", "<?xml version=\"1.0\"?><!DOCTYPE C [<!ENTITY a \"b\">]><COLLADA/>"},
        {"not collada", "<html/>"},
    };
    for (const Case& c : cases) {
        Reports reports;
        TempFile file(c.content);
        MzModel model;
        model.prims.Add(new MzPrim);
        EXPECT_FALSE(MzColladaReader::ReadModel(file.Path(), model, 1.0f)) << c.name;
        EXPECT_EQ(model.prims.Count(), 1u) << c.name;
        EXPECT_EQ(reports.errorBoxes,
                  std::vector<std::string>{"ERROR : ファイルの読み込みに失敗しました(" + file.Path() + ")"})
            << c.name;
        EXPECT_EQ(reports.hidden, 1) << c.name;
    }
}

TEST(ImportModel, MissingGeometryIsReportedAndSkipped) {
    Reports reports;
    auto r = Import(Dae(
        Geometry(kQuadPositions + kMaterialTriangle) +
        Scene(R"(<node id="n"><instance_geometry url="#nothere"/><instance_controller url="#nocontroller"/>
                                 <instance_geometry url="#g"/></node>)")));
    EXPECT_EQ(r->model.prims.Count(), 1u);
    // Both are reported; the second, identical one goes to the log instead of a second box.
    EXPECT_EQ(reports.errorBoxes, (std::vector<std::string>{"MzColladaReader : geom==NULL"}));
}

TEST(ImportModel, NoVisualSceneClearsTheModel) {
    TempFile file(Dae(Geometry(kQuadPositions)));
    MzModel model;
    model.prims.Add(new MzPrim);
    EXPECT_TRUE(MzColladaReader::ReadModel(file.Path(), model, 1.0f));
    EXPECT_EQ(model.prims.Count(), 0u);
}

TEST(ImportModel, DeepJointChainsImportWithoutExhaustingTheStack) {
    std::string nodes;
    const int depth = 1000;
    for (int i = 0; i < depth; ++i)
        nodes += "<node id=\"j" + std::to_string(i) + "\" type=\"JOINT\"><translate>0 1 0</translate>";
    for (int i = 0; i < depth; ++i)
        nodes += "</node>";
    auto r = Import(Dae(Scene(nodes)));
    ASSERT_TRUE(r->loaded);
    ASSERT_EQ(r->model.joints.Count(), size_t{depth});
    EXPECT_EQ(r->model.joints[depth - 1]->parent, r->model.joints[depth - 2]);
    EXPECT_NEAR(r->model.joints[depth - 1]->localMatrix.m[3][1], float(depth), 1e-2f);
}
