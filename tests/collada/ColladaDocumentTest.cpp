// The document model: what each element becomes, how references resolve, and hostile input.
#include "ColladaDocument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace collada;

namespace {

std::string Dae(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
           "version=\"1.4.1\">" +
           body + "</COLLADA>";
}

// A visual scene "vs" with the given nodes, instantiated by the scene.
std::string Scene(const std::string& nodes) {
    return "<library_visual_scenes><visual_scene id=\"vs\">" + nodes +
           "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#vs\"/></scene>";
}

const char* kTriangleGeometry = R"(
<library_geometries><geometry id="g"><mesh>
  <source id="pos"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
    <technique_common><accessor source="#pa" count="3" stride="3"/></technique_common></source>
  <vertices id="v"><input semantic="POSITION" source="#pos"/></vertices>
  <polylist material="m" count="1"><input semantic="VERTEX" source="#v" offset="0"/>
    <vcount>3</vcount><p>0 1 2</p></polylist>
  <lines count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1</p></lines>
</mesh></geometry></library_geometries>)";

struct Loaded {
    Document doc;
    bool ok = false;
};

std::unique_ptr<Loaded> Load(const std::string& xml) {
    auto l = std::make_unique<Loaded>();
    l->ok = l->doc.LoadFromMemory(xml, "/doc/dir/test.dae");
    return l;
}

} // namespace

// ---- Scene ---------------------------------------------------------------------------

TEST(ColladaDocument, NodesTakeTheirNameOrTheirIdAndTheJointType) {
    auto l = Load(Dae(Scene(
        R"(<node id="Bone01" type="JOINT"><node id="n2" name="" /><node id="n3" name="Named" type="NODE"/></node>)")));
    ASSERT_TRUE(l->ok);
    const Node* root = l->doc.SceneRoot();
    ASSERT_TRUE(root);
    ASSERT_EQ(root->children.size(), 1u);
    const Node* bone = root->children[0];
    EXPECT_EQ(bone->name, "Bone01");
    EXPECT_TRUE(bone->isJoint);
    ASSERT_EQ(bone->children.size(), 2u);
    EXPECT_EQ(bone->children[0]->name, "n2");
    EXPECT_EQ(bone->children[1]->name, "Named");
    EXPECT_FALSE(bone->children[1]->isJoint);
    EXPECT_EQ(bone->children[1]->parent, bone);
}

TEST(ColladaDocument, TheSceneIsTheInstantiatedVisualScene) {
    auto l = Load(Dae(
        R"(<library_visual_scenes><visual_scene id="a"/><visual_scene id="b" name="B"/></library_visual_scenes>
        <scene><instance_visual_scene url="#b"/></scene>)"));
    ASSERT_TRUE(l->ok);
    ASSERT_TRUE(l->doc.SceneRoot());
    EXPECT_EQ(l->doc.SceneRoot()->name, "B");

    auto none = Load(Dae(R"(<library_visual_scenes><visual_scene id="a"/></library_visual_scenes>)"));
    EXPECT_TRUE(none->ok);
    EXPECT_EQ(none->doc.SceneRoot(), nullptr);
}

TEST(ColladaDocument, WorldTransformComposesElementsInDocumentOrderUpTheParents) {
    auto l = Load(Dae(Scene(R"(<node id="a"><translate>1 2 3</translate><rotate>0 0 1 90</rotate>
        <node id="b"><scale>2 2 2</scale><translate>1 0 0</translate></node></node>)")));
    ASSERT_TRUE(l->ok);
    const Node* b = l->doc.FindNode("b");
    ASSERT_TRUE(b);
    Matrix4 w = b->WorldTransform();
    // The point (0, 0, 0) of b: scaled translate (2, 0, 0), turned 90° about z to (0, 2, 0), moved by (1, 2,
    // 3).
    EXPECT_NEAR(w.At(0, 3), 1.0f, 1e-5f);
    EXPECT_NEAR(w.At(1, 3), 4.0f, 1e-5f);
    EXPECT_NEAR(w.At(2, 3), 3.0f, 1e-5f);
    EXPECT_NEAR(w.At(0, 1), -2.0f, 1e-5f);
    EXPECT_NEAR(w.At(1, 0), 2.0f, 1e-5f);
}

TEST(ColladaDocument, MatrixElementsAreRowMajor) {
    auto l = Load(Dae(Scene(R"(<node id="a"><matrix>1 0 0 5 0 1 0 6 0 0 1 7 0 0 0 1</matrix></node>)")));
    Matrix4 w = l->doc.FindNode("a")->WorldTransform();
    EXPECT_EQ(w.At(0, 3), 5.0f);
    EXPECT_EQ(w.At(1, 3), 6.0f);
    EXPECT_EQ(w.At(2, 3), 7.0f);
}

TEST(ColladaDocument, InstancesKeepTheirKindAndResolvedBoundMaterialsInOrder) {
    auto l = Load(Dae(std::string(kTriangleGeometry) + R"(
        <library_materials><material id="m1"/><material id="m2"/></library_materials>)" +
                      Scene(R"(<node id="n"><instance_camera url="#cam"/>
        <instance_geometry url="#g"><bind_material><technique_common>
          <instance_material symbol="x" target="#m2"/><instance_material symbol="y" target="#missing"/>
          <instance_material symbol="m2" target="#m1"/></technique_common></bind_material></instance_geometry>
        <instance_geometry url="#nothere"/></node>)")));
    ASSERT_TRUE(l->ok);
    const Node* n = l->doc.FindNode("n");
    ASSERT_EQ(n->instances.size(), 3u);
    EXPECT_EQ(n->instances[0].kind, InstanceKind::Other);
    EXPECT_EQ(n->instances[1].kind, InstanceKind::Geometry);
    EXPECT_EQ(n->instances[1].geometry, l->doc.FindGeometry("g"));
    ASSERT_EQ(n->instances[1].materials.size(), 2u);
    EXPECT_EQ(n->instances[1].materials[0]->id, "m2");
    EXPECT_EQ(n->instances[1].materials[1]->id, "m1");
    EXPECT_EQ(n->instances[2].kind, InstanceKind::Geometry);
    EXPECT_EQ(n->instances[2].geometry, nullptr);
}

// ---- Geometry ------------------------------------------------------------------------

TEST(ColladaDocument, PolygonSetsKeepTheirKindMaterialAndInputs) {
    auto l = Load(Dae(kTriangleGeometry));
    const Geometry* g = l->doc.FindGeometry("g");
    ASSERT_TRUE(g && g->hasMesh);
    ASSERT_EQ(g->mesh.polygonSets.size(), 2u);
    const PolygonSet& s = g->mesh.polygonSets[0];
    EXPECT_EQ(s.kind, PrimitiveKind::Polygons);
    EXPECT_EQ(s.material, "m");
    EXPECT_EQ(s.vertexCounts, std::vector<uint32_t>{3});
    ASSERT_EQ(s.inputs.size(), 1u);
    EXPECT_EQ(s.inputs[0].semantic, "POSITION");
    ASSERT_TRUE(s.inputs[0].source);
    EXPECT_EQ(s.inputs[0].source->Count(), 3u);
    EXPECT_EQ(s.Index(s.inputs[0], 2), 2u);
    EXPECT_EQ(g->mesh.polygonSets[1].kind, PrimitiveKind::Lines);
}

TEST(ColladaDocument, FaceCountsOfEachPolygonSetKind) {
    auto l = Load(Dae(R"(<library_geometries><geometry id="g"><mesh>
        <source id="s"><float_array id="a" count="3">0 0 0</float_array></source>
        <vertices id="v"><input semantic="POSITION" source="#s"/></vertices>
        <triangles count="2"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="NORMAL" source="#s" offset="1"/>
          <p>0 0 0 0 0 0 0 0 0 0 0 0</p></triangles>
        <polygons count="2"><input semantic="VERTEX" source="#v" offset="0"/>
          <p>0 0 0 0</p><ph><p>0 0 0</p><h>0 0 0</h></ph></polygons>
        <polylist count="3"><input semantic="VERTEX" source="#v" offset="0"/><vcount>4 2 3</vcount><p>0 0 0 0 0 0 0 0 0</p></polylist>
      </mesh></geometry></library_geometries>)"));
    const auto& sets = l->doc.FindGeometry("g")->mesh.polygonSets;
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].vertexCounts, (std::vector<uint32_t>{3, 3}));
    EXPECT_EQ(sets[0].indexStride, 2u);
    EXPECT_EQ(sets[1].vertexCounts, (std::vector<uint32_t>{4, 3}));
    EXPECT_EQ(sets[2].vertexCounts, (std::vector<uint32_t>{4, 2, 3}));
}

TEST(ColladaDocument, StripsAndFansKeepOneFacePerListAndLinesNone) {
    auto l = Load(Dae(R"(<library_geometries><geometry id="g"><mesh>
        <source id="s"><float_array id="a" count="3">0 0 0</float_array></source>
        <vertices id="v"><input semantic="POSITION" source="#s"/></vertices>
        <tristrips count="2"><input semantic="VERTEX" source="#v" offset="0"/><p>0 0 0 0 0</p><p>0 0 0</p></tristrips>
        <trifans count="1"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="NORMAL" source="#s" offset="1"/>
          <p>0 0 0 0 0 0 0 0</p></trifans>
        <linestrips count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 0 0</p></linestrips>
      </mesh></geometry></library_geometries>)"));
    const auto& sets = l->doc.FindGeometry("g")->mesh.polygonSets;
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].kind, PrimitiveKind::TriStrips);
    EXPECT_EQ(sets[0].vertexCounts, (std::vector<uint32_t>{5, 3}));
    EXPECT_EQ(sets[1].kind, PrimitiveKind::TriFans);
    EXPECT_EQ(sets[1].vertexCounts, (std::vector<uint32_t>{4}));
    EXPECT_TRUE(sets[2].vertexCounts.empty());
}

TEST(ColladaDocument, AssetUpAxisAndUnit) {
    struct Case {
        const char* asset;
        UpAxis up;
        float meters;
    } cases[] = {
        {"", UpAxis::Y, 1},
        {"<asset><up_axis> Z_UP </up_axis><unit name=\"inch\" meter=\"0.0254\"/></asset>", UpAxis::Z,
         0.0254f},
        {"<asset><up_axis>X_UP</up_axis><unit name=\"meter\"/></asset>", UpAxis::X, 1},
        {"<asset><unit meter=\"-3\"/></asset>", UpAxis::Y, 1},
    };
    for (const Case& c : cases) {
        auto l = Load(Dae(c.asset));
        ASSERT_TRUE(l->ok) << c.asset;
        EXPECT_EQ(l->doc.Up(), c.up) << c.asset;
        EXPECT_FLOAT_EQ(l->doc.UnitMeters(), c.meters) << c.asset;
    }
}

TEST(ColladaDocument, InstancedNodesSkeletonsAndSymbolsResolveAcrossLibraries) {
    auto l = Load(Dae(std::string(kTriangleGeometry) + R"(
        <library_materials><material id="m1"/></library_materials>
        <library_controllers><controller id="c"><skin source="#g"/></controller></library_controllers>
        <library_nodes><node id="part" sid="p"><node id="bone" sid="b" type="JOINT"/></node></library_nodes>)" +
                      Scene(R"(<node id="n"><instance_node url="#part"/><instance_node url="#nothere"/>
        <instance_controller url="#c"><skeleton> #bone </skeleton><bind_material><technique_common>
          <instance_material symbol="s1" target="#m1"/></technique_common></bind_material></instance_controller></node>)")));
    ASSERT_TRUE(l->ok);
    const Node* n = l->doc.FindNode("n");
    ASSERT_EQ(n->instances.size(), 3u);
    EXPECT_EQ(n->instances[0].kind, InstanceKind::Node);
    EXPECT_EQ(n->instances[0].node, l->doc.FindNode("part"));
    EXPECT_EQ(n->instances[0].node->parent, nullptr) << "library nodes stand outside the scene";
    EXPECT_EQ(n->instances[1].node, nullptr);
    EXPECT_EQ(l->doc.FindNode("bone")->sid, "b");
    const Instance& skinned = n->instances[2];
    ASSERT_EQ(skinned.skeletons.size(), 1u);
    EXPECT_EQ(skinned.skeletons[0], l->doc.FindNode("bone"));
    EXPECT_EQ(skinned.symbols, std::vector<std::string>{"s1"});
}

TEST(ColladaDocument, TransformBelowStopsAtTheGivenAncestor) {
    auto l = Load(Dae(Scene(R"(<node id="a"><translate>1 0 0</translate>
        <node id="b"><translate>0 2 0</translate><node id="c"><translate>0 0 3</translate></node></node></node>)")));
    const Node* c = l->doc.FindNode("c");
    Matrix4 belowB = c->TransformBelow(l->doc.FindNode("b"));
    EXPECT_EQ(belowB.At(0, 3), 0.0f);
    EXPECT_EQ(belowB.At(1, 3), 2.0f);
    EXPECT_EQ(belowB.At(2, 3), 3.0f);
    EXPECT_EQ(c->TransformBelow(c).At(1, 3), 0.0f);
    EXPECT_EQ(c->WorldTransform().At(0, 3), 1.0f);
}

TEST(ColladaDocument, ControllersFollowTheirSourceToTheGeometry) {
    auto l = Load(Dae(std::string(kTriangleGeometry) + R"(<library_controllers>
        <controller id="skin"><skin source="#morph"/></controller>
        <controller id="morph"><morph source="#g"/></controller>
        <controller id="loop1"><skin source="#loop2"/></controller>
        <controller id="loop2"><skin source="#loop1"/></controller>
        <controller id="lost"><skin source="#nowhere"/></controller></library_controllers>)"));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->doc.FindController("skin")->BaseGeometry(), l->doc.FindGeometry("g"));
    EXPECT_TRUE(l->doc.FindController("skin")->hasSkin);
    EXPECT_FALSE(l->doc.FindController("morph")->hasSkin);
    EXPECT_EQ(l->doc.FindController("loop1")->BaseGeometry(), nullptr);
    EXPECT_EQ(l->doc.FindController("lost")->BaseGeometry(), nullptr);
}

TEST(ColladaDocument, SkinInfluencesPerPositionIndexInDocumentOrder) {
    auto l = Load(Dae(R"(<library_controllers><controller id="c"><skin source="#g">
        <source id="j"><Name_array id="ja" count="2">Hip Knee</Name_array></source>
        <source id="w"><float_array id="wa" count="3">1 0.25 0.75</float_array></source>
        <joints><input semantic="JOINT" source="#j"/></joints>
        <vertex_weights count="3"><input semantic="JOINT" source="#j" offset="0"/><input semantic="WEIGHT" source="#w" offset="1"/>
          <vcount>1 2 1</vcount><v>0 0 1 1 0 2 -1 0</v></vertex_weights></skin></controller></library_controllers>)"));
    const Skin& skin = l->doc.FindController("c")->skin;
    EXPECT_EQ(skin.jointNames, (std::vector<std::string>{"Hip", "Knee"}));
    ASSERT_EQ(skin.InfluenceListCount(), 3u);
    ASSERT_EQ(skin.InfluencesEnd(1) - skin.InfluencesBegin(1), 2);
    EXPECT_EQ(skin.InfluencesBegin(1)[0].joint, 1u);
    EXPECT_EQ(skin.InfluencesBegin(1)[0].weight, 0.25f);
    EXPECT_EQ(skin.InfluencesBegin(1)[1].weight, 0.75f);
    // Joint -1 (the bind shape) cannot be addressed and is dropped.
    EXPECT_EQ(skin.InfluencesEnd(2) - skin.InfluencesBegin(2), 0);
}

// ---- Materials -----------------------------------------------------------------------

TEST(ColladaDocument, SkinBindShapeAndInverseBindMatrices) {
    auto l = Load(Dae(std::string(kTriangleGeometry) + R"(<library_controllers>
        <controller id="c"><skin source="#g"><bind_shape_matrix>1 0 0 5 0 1 0 0 0 0 1 0 0 0 0 1</bind_shape_matrix>
          <source id="j"><Name_array id="ja">A B</Name_array></source>
          <source id="ib"><float_array id="iba">1 0 0 -1 0 1 0 0 0 0 1 0 0 0 0 1  1 0 0 0 0 1 0 -2 0 0 1 0 0 0 0 1</float_array>
            <technique_common><accessor source="#iba" count="2" stride="16"/></technique_common></source>
          <joints><input semantic="JOINT" source="#j"/><input semantic="INV_BIND_MATRIX" source="#ib"/></joints></skin></controller>
        <controller id="short"><skin source="#g"><bind_shape_matrix>1 2 3</bind_shape_matrix>
          <source id="j2"><Name_array id="j2a">A B</Name_array></source>
          <source id="ib2"><float_array id="ib2a">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float_array></source>
          <joints><input semantic="JOINT" source="#j2"/><input semantic="INV_BIND_MATRIX" source="#ib2"/></joints></skin></controller>
      </library_controllers>)"));
    const Skin& skin = l->doc.FindController("c")->skin;
    EXPECT_EQ(skin.bindShape.At(0, 3), 5.0f);
    ASSERT_EQ(skin.inverseBindMatrices.size(), 2u);
    EXPECT_EQ(skin.inverseBindMatrices[0].At(0, 3), -1.0f);
    EXPECT_EQ(skin.inverseBindMatrices[1].At(1, 3), -2.0f);
    const Skin& broken = l->doc.FindController("short")->skin;
    EXPECT_TRUE(broken.bindShape.IsIdentity()) << "a short bind shape matrix reads as the identity";
    EXPECT_TRUE(broken.inverseBindMatrices.empty()) << "fewer matrices than joints: none";
}

TEST(ColladaDocument, ADiffuseTextureMayNameItsImageOrSurfaceDirectly) {
    auto l = Load(Dae(R"(<library_images><image id="img"><init_from>a.png</init_from></image>
        <image id="img2"><init_from>b.png</init_from></image></library_images>
      <library_effects>
        <effect id="direct"><profile_COMMON><technique sid="t"><phong>
          <diffuse><texture texture="img" texcoord="UV"/></diffuse></phong></technique></profile_COMMON></effect>
        <effect id="surface"><profile_COMMON><newparam sid="surf"><surface type="2D"><init_from>img2</init_from></surface></newparam>
          <technique sid="t"><lambert><diffuse><texture texture="surf" texcoord="UV"/></diffuse></lambert></technique></profile_COMMON></effect>
        <effect id="declared"><profile_COMMON><newparam sid="surf"><surface type="2D"><init_from>img</init_from></surface></newparam>
          <newparam sid="smp"><sampler2D><source>surf</source></sampler2D></newparam>
          <technique sid="t"><lambert><diffuse><texture texture="smp" texcoord="UV"/></diffuse></lambert></technique></profile_COMMON></effect>
        <effect id="unknown"><profile_COMMON><technique sid="t"><lambert><diffuse><texture texture="nothing"/></diffuse></lambert>
          </technique></profile_COMMON></effect>
      </library_effects>)"));
    auto images = [&](const char* effect) {
        std::vector<std::string> ids;
        for (const Sampler& s : l->doc.FindEffect(effect)->commonProfiles.at(0).samplers)
            for (const Image* i : s.images)
                ids.push_back(i->id);
        return ids;
    };
    EXPECT_EQ(images("direct"), std::vector<std::string>{"img"});
    EXPECT_EQ(images("surface"), std::vector<std::string>{"img2"});
    EXPECT_EQ(images("declared"), std::vector<std::string>{"img"}) << "a declared sampler counts once";
    EXPECT_TRUE(images("unknown").empty());
}

TEST(ColladaDocument, EffectColoursSamplersAndSpecLevel) {
    auto l = Load(Dae(R"(<library_images><image id="i1"><init_from>a.png</init_from></image>
        <image id="i2"><init_from>file:///tex/b%20c.png</init_from></image></library_images>
      <library_effects><effect id="e"><profile_COMMON>
        <newparam sid="s1"><surface type="2D"><init_from>i2</init_from></surface></newparam>
        <newparam sid="smp1"><sampler2D><source>s1</source></sampler2D></newparam>
        <newparam sid="s0"><surface type="2D"><init_from>i1</init_from></surface></newparam>
        <newparam sid="smp0"><sampler2D><source>s0</source></sampler2D></newparam>
        <technique sid="common"><phong>
          <emission><color>0.1 0.2 0.3 1</color></emission>
          <diffuse><texture texture="smp0" texcoord="UV"/></diffuse>
          <specular><color>  0.5 0.5 0.5 0.5  </color></specular>
          <spec_level><float>3</float></spec_level>
        </phong>
        <extra><technique profile="MAX3D"><spec_level><float>0.75</float></spec_level></technique></extra>
        </technique></profile_COMMON><profile_GLSL/></effect></library_effects>
      <library_materials><material id="m"><instance_effect url="#e"/></material>
        <material id="dangling"><instance_effect url="#none"/></material></library_materials>)"));
    ASSERT_TRUE(l->ok);
    const Material* m = l->doc.FindMaterial("m");
    ASSERT_TRUE(m && m->effect);
    ASSERT_EQ(m->effect->commonProfiles.size(), 1u);
    const CommonProfile& p = m->effect->commonProfiles[0];
    EXPECT_EQ(p.emission.b, 0.3f);
    EXPECT_EQ(p.diffuse.r, 1.0f); // holds a texture
    EXPECT_EQ(p.diffuse.a, 1.0f);
    EXPECT_EQ(p.specular.a, 0.5f);
    EXPECT_EQ(p.ambient.r, 0.0f); // absent
    EXPECT_EQ(p.ambient.a, 1.0f);
    EXPECT_EQ(p.specLevel, 0.75f); // the extra technique, read later, wins
    ASSERT_EQ(p.samplers.size(), 2u);
    ASSERT_EQ(p.samplers[0].images.size(), 1u);
    EXPECT_EQ(p.samplers[0].images[0]->path, "/tex/b c.png");
    EXPECT_EQ(p.samplers[1].images[0]->path, "/doc/dir/a.png");
    EXPECT_EQ(l->doc.FindMaterial("dangling")->effect, nullptr);
}

TEST(ColladaDocument, SpecLevelIsOneWhenAbsent) {
    auto l =
        Load(Dae(R"(<library_effects><effect id="e"><profile_COMMON><technique sid="t"><lambert/></technique>
        </profile_COMMON></effect></library_effects>)"));
    EXPECT_EQ(l->doc.FindEffect("e")->commonProfiles[0].specLevel, 1.0f);
}

// ---- Animations ----------------------------------------------------------------------

TEST(ColladaDocument, ChannelsBindKeysToTransformComponents) {
    auto l = Load(Dae(R"dae(<library_animations><animation>
        <source id="t"><float_array id="ta" count="2">0 1</float_array></source>
        <source id="a"><float_array id="aa" count="2">10 20</float_array></source>
        <source id="xyz"><float_array id="xa" count="6">1 2 3 4 5 6</float_array>
          <technique_common><accessor source="#xa" count="2" stride="3"/></technique_common></source>
        <sampler id="sa"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#a"/></sampler>
        <sampler id="sx"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#xyz"/></sampler>
        <animation><channel source="#sa" target="Bone01/rotateZ.ANGLE"/></animation>
        <channel source="#sx" target="Bone01/location"/>
        <channel source="#sa" target="Bone01/scale.X"/>
        <channel source="#sa" target="Bone01/location(1)"/>
      </animation></library_animations>)dae" +
                      Scene(R"(<node id="Bone01" type="JOINT"><translate sid="location">0 0 0</translate>
        <rotate sid="rotateZ">0 0 1 0</rotate><scale sid="scale">1 1 1</scale></node>)")));
    ASSERT_TRUE(l->ok);
    const Node* bone = l->doc.FindNode("Bone01");
    const Transform& translate = bone->transforms[0];
    const Transform& rotate = bone->transforms[1];
    EXPECT_TRUE(rotate.curves[0].empty() && rotate.curves[1].empty() && rotate.curves[2].empty());
    ASSERT_EQ(rotate.curves[3].size(), 2u);
    EXPECT_EQ(rotate.curves[3][1].time, 1.0f);
    EXPECT_EQ(rotate.curves[3][1].value, 20.0f);
    ASSERT_EQ(translate.curves[0].size(), 2u);
    EXPECT_EQ(translate.curves[0][1].value, 4.0f);
    EXPECT_EQ(translate.curves[2][1].value, 6.0f);
    // The later channel on Y replaces the whole-element one.
    EXPECT_EQ(translate.curves[1][0].value, 10.0f);
    EXPECT_FALSE(bone->transforms[2].IsAnimated());
}

TEST(ColladaDocument, MatrixChannelsKeyWholeMatricesOrSingleCells) {
    std::string identity = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1";
    auto l = Load(Dae(R"(<library_animations><animation>
        <source id="t"><float_array id="ta">0 1</float_array></source>
        <source id="m"><float_array id="ma">)" +
                      identity + " 1 0 0 7 0 1 0 0 0 0 1 0 0 0 0 1" + R"dae(</float_array>
          <technique_common><accessor source="#ma" count="2" stride="16"/></technique_common></source>
        <source id="v"><float_array id="va">3 4</float_array></source>
        <sampler id="sm"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#m"/></sampler>
        <sampler id="sv"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#v"/></sampler>
        <channel source="#sm" target="A/transform"/>
        <channel source="#sv" target="B/transform(1)(3)"/>
        <channel source="#sv" target="B/transform(4)(0)"/>
        <channel source="#sv" target="B/transform.X"/>
      </animation></library_animations>)dae" +
                      Scene(R"(<node id="A" type="JOINT"><matrix sid="transform">)" + identity +
                            R"(</matrix></node><node id="B" type="JOINT"><matrix sid="transform">)" +
                            identity + "</matrix></node>")));
    ASSERT_TRUE(l->ok);
    const Transform& a = l->doc.FindNode("A")->transforms[0];
    ASSERT_EQ(a.curves[3].size(), 2u);
    EXPECT_EQ(a.curves[3][1].value, 7.0f);
    EXPECT_EQ(a.curves[0][0].value, 1.0f);
    const Transform& b = l->doc.FindNode("B")->transforms[0];
    for (size_t c = 0; c < 16; ++c)
        EXPECT_EQ(b.curves[c].size(), c == 7 ? 2u : 0u) << "cell " << c;
    EXPECT_EQ(b.curves[7][1].value, 4.0f);
}

// ---- Hostile and broken input ------------------------------------------------------------

TEST(ColladaDocument, BrokenDocumentsFailToLoadWithAReason) {
    struct Case {
        const char* name;
        std::string xml;
    } cases[] = {
        {"truncated", Dae(Scene("<node id=\"a\">")).substr(0, 120)},
        {"empty", ""},
        {"not COLLADA", "<?xml version=\"1.0\"?><svg/>"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10)},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE COLLADA [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<COLLADA><asset>&x;</asset></COLLADA>"},
        {"parameter entity",
         "<?xml version=\"1.0\"?><!DOCTYPE COLLADA [<!ENTITY % p SYSTEM \"http://example.com/x.dtd\"> %p;]>"
         "<COLLADA/>"},
    };
    for (const Case& c : cases) {
        auto l = Load(c.xml);
        EXPECT_FALSE(l->ok) << c.name;
        EXPECT_FALSE(l->doc.Diagnostics().empty()) << c.name;
        EXPECT_EQ(l->doc.SceneRoot(), nullptr) << c.name;
    }
}

TEST(ColladaDocument, BillionLaughsFailsFast) {
    std::string dtd = "<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        std::string prev = i == 1 ? "lol" : "lol" + std::to_string(i - 1);
        std::string refs;
        for (int k = 0; k < 10; ++k)
            refs += "&" + prev + ";";
        dtd += "<!ENTITY lol" + std::to_string(i) + " \"" + refs + "\">";
    }
    std::string xml =
        "<?xml version=\"1.0\"?><!DOCTYPE COLLADA [" + dtd + "]><COLLADA><asset>&lol9;</asset></COLLADA>";
    auto start = std::chrono::steady_clock::now();
    auto l = Load(xml);
    EXPECT_FALSE(l->ok);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ColladaDocument, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::string nodes;
    for (int i = 0; i < 100000; ++i)
        nodes += "<node>";
    for (int i = 0; i < 100000; ++i)
        nodes += "</node>";
    auto l = Load(Dae(Scene(nodes)));
    EXPECT_FALSE(l->ok);
}

TEST(ColladaDocument, HugeCountsAndOffsetsAreNotTrusted) {
    auto l = Load(Dae(R"(<library_geometries><geometry id="g"><mesh>
        <source id="s"><float_array id="a" count="2147483648">1 2 3</float_array>
          <technique_common><accessor source="#a" count="2147483648" stride="2147483648"/></technique_common></source>
        <vertices id="v"><input semantic="POSITION" source="#s"/></vertices>
        <polylist count="2147483648"><input semantic="VERTEX" source="#v" offset="0"/>
          <vcount>3 2147483648 4294967295</vcount><p>0 1 2 3 4</p></polylist>
        <polylist count="1"><input semantic="VERTEX" source="#v" offset="2147483647"/><vcount>3</vcount><p>0 1 2</p></polylist>
      </mesh></geometry></library_geometries>
      <library_controllers><controller id="c"><skin source="#g">
        <source id="j"><Name_array count="2147483648">A</Name_array></source>
        <source id="w"><float_array id="wa" count="1">1</float_array></source>
        <joints><input semantic="JOINT" source="#j"/></joints>
        <vertex_weights count="2147483648"><input semantic="JOINT" source="#j" offset="0"/>
          <input semantic="WEIGHT" source="#w" offset="4294967295"/>
          <vcount>2147483648 4294967295</vcount><v>0 0 5 7</v></vertex_weights></skin></controller></library_controllers>)"));
    ASSERT_TRUE(l->ok);
    const Geometry* g = l->doc.FindGeometry("g");
    const Source* s = g->mesh.polygonSets[0].inputs[0].source;
    EXPECT_EQ(s->Count(), 0u);
    EXPECT_EQ(s->Value(0), nullptr);
    // The faces stop where the index list does.
    EXPECT_EQ(g->mesh.polygonSets[0].vertexCounts, (std::vector<uint32_t>{3, 2}));
    EXPECT_EQ(g->mesh.polygonSets[1].CornerCount(), 0u);
    EXPECT_TRUE(g->mesh.polygonSets[1].vertexCounts.empty());
    const Skin& skin = l->doc.FindController("c")->skin;
    EXPECT_EQ(skin.InfluenceListCount(), 2u);
    EXPECT_FALSE(l->doc.Diagnostics().empty());
}

TEST(ColladaDocument, MissingSourcesLeaveInputsWithoutValues) {
    auto l = Load(Dae(R"(<library_geometries><geometry id="g"><mesh>
        <vertices id="v"><input semantic="POSITION" source="#nothing"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="NORMAL" source="#gone" offset="1"/>
          <p>0 0 1 1 2 2</p></triangles></mesh></geometry>
        <geometry id="nomesh"><spline/></geometry></library_geometries>)"));
    ASSERT_TRUE(l->ok);
    const PolygonSet& s = l->doc.FindGeometry("g")->mesh.polygonSets[0];
    ASSERT_EQ(s.inputs.size(), 2u);
    EXPECT_EQ(s.inputs[0].source, nullptr);
    EXPECT_EQ(s.inputs[1].source, nullptr);
    EXPECT_FALSE(l->doc.FindGeometry("nomesh")->hasMesh);
}

TEST(ColladaDocument, MissingFileFails) {
    Document doc;
    EXPECT_FALSE(doc.Load("/nonexistent/model.dae"));
    EXPECT_FALSE(doc.Diagnostics().empty());
}
