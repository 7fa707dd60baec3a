// Every document of the shared corpus of real exporters' files imports, as a model and as a
// motion for itself, and gives the triangles its polygon sets hold.
//
// The reference counts are the importer peer's (listed in the corpus MANIFEST) where it counted
// the same thing; each difference is explained beside its row.
#include "ImportTestSupport.h"
#include "MzColladaReader.h"
#include "MzMotion.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace importtest;

namespace {

struct CorpusDocument {
    const char* file;
    uint64_t triangles;
    size_t joints;
    const char* note;
};

const CorpusDocument kCorpus[] = {
    {"astroboy_walk/astroBoy_walk.dae", 4881, 44, "as the peer; its texture is an absent C:/ path"},
    {"blender_anim_clips/library_animation_clips.dae", 52, 5,
     "the peer refuses the file (spaces around numbers); 52 = the fan triangles of its polygons"},
    {"blender_nested_anim/box_nested_animation.dae", 12, 1, "as the peer"},
    {"cesium_man/CesiumMan.dae", 4672, 19, "as the peer"},
    {"cesium_milk_truck/CesiumMilkTruck.dae", 3624, 0,
     "the peer counts each mesh once (2856); the wheel geometry (768 triangles) is instanced twice"},
    {"cinema4d/Cinema4D.dae", 1296, 0, "as the peer"},
    {"cts_joints_in_library_nodes/JointsInLN.dae", 4881, 19,
     "as the peer's triangulated count; the 19 joints sit in library_nodes behind instance_node"},
    {"cts_lines/multi_geometries_multi_lines.dae", 0, 0,
     "lines only: no prim (the peer counts 24 line faces)"},
    {"cts_mixed_primitives/polygons_polylist_triangles.dae", 7, 0, "as the peer"},
    {"cts_multi_visual_scenes/multi_visualscene_instantiate_1.dae", 4, 0,
     "only the instantiated scene, as the peer"},
    {"cts_softimage_skin4/skin_4_influence.dae", 2000, 4,
     "the peer crashes; 2000 = the fan triangles of its polylist"},
    {"cube_2uvs/cube_with_2UVs.DAE", 12, 0, "as the peer"},
    {"cube_empty_tags/cube_emptyTags.dae", 12, 0, "as the peer"},
    {"cube_tristrips/cube_tristrips.dae", 12, 0, "as the peer: six strips of two triangles"},
    {"cube_utf16le/cube_UTF16LE.dae", 12, 0, "the peer cannot read UTF-16; 12 as for the UTF-8 cube"},
    {"cube_utf8_bom/cube_UTF8BOM.dae", 12, 0, "as the peer"},
    {"duck/duck.dae", 4212, 0, "as the peer"},
    {"fbx_node_anims/anims_with_full_rotations_between_keys.DAE", 768, 0,
     "the peer merges the 64 identical instances (12); unmerged it has 384 quads = 768 triangles"},
    {"invalid_count_mismatch/box_nested_animation_4286.dae", 12, 1,
     "as the peer; positions past the short float_array read as the origin"},
    {"regr01_one_line/regr01.dae", 172, 0, "as the peer; its two textures are absent"},
    {"rigged_simple/riggedSimple.dae", 188, 2, "as the peer"},
    {"teapot_instancenodes/teapot_instancenodes.DAE", 2048, 0,
     "two teapots, one through instance_node (the peer counts the shared mesh once: 1024 faces, 992 "
     "triangles and 32 degenerate ones as lines)"},
    {"turtlebot_kinect/kinect.dae", 6418, 0, "as the peer"},
    {"turtlebot_r200_sketchup/r200.dae", 1572, 0, "the peer's 1577 faces include 5 lines"},
    {"voyager_large/voyager.dae", 23778, 0, "as the peer"},
};

std::filesystem::path CorpusDir() {
    return MZ_COLLADA_CORPUS;
}

class Corpus : public testing::TestWithParam<CorpusDocument> {};

std::string NameOf(const testing::TestParamInfo<CorpusDocument>& info) {
    std::string name = std::filesystem::path(info.param.file).parent_path().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

} // namespace

TEST_P(Corpus, ImportsAsModelAndMotion) {
    const CorpusDocument& doc = GetParam();
    std::filesystem::path path = CorpusDir() / doc.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "corpus not present: " << path;
    Reports reports;
    MzModel model;
    ASSERT_TRUE(MzColladaReader::ReadModel(path.string(), model, 1.0f)) << doc.file;
    uint64_t triangles = 0;
    for (const MzPrim* prim : model.prims) {
        triangles += prim->primitiveCount;
        EXPECT_EQ(prim->vertexBuffer.vertexCount, 3 * prim->primitiveCount);
    }
    EXPECT_EQ(triangles, doc.triangles) << doc.note;
    EXPECT_EQ(model.joints.Count(), doc.joints) << doc.note;
    for (const std::string& box : reports.errorBoxes)
        EXPECT_TRUE(box.starts_with("ERROR : texutre not found")) << box;

    MzMotionData motion;
    EXPECT_TRUE(MzColladaReader::ReadMotion(path.string(), motion, model, 1.0f));
    EXPECT_EQ(motion.curveCount, model.joints.Count());
    EXPECT_GE(motion.length, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Documents, Corpus, testing::ValuesIn(kCorpus), NameOf);
