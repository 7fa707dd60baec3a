// Motion import: keys merged by time, conversion, absolute rotations, reports.
#include "ImportTestSupport.h"
#include "KeyFrameList.h"
#include "MzColladaReader.h"
#include "MzMotion.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace importtest;

namespace {

// One animated component: a source pair, a sampler and a channel.
std::string Channel(const std::string& target, const std::string& times, const std::string& values) {
    static int next = 0;
    std::string id = "a" + std::to_string(next++);
    return "<animation><source id=\"" + id + "-t\"><float_array id=\"" + id + "-ta\">" + times +
           "</float_array></source><source id=\"" + id + "-v\"><float_array id=\"" + id + "-va\">" + values +
           "</float_array></source><sampler id=\"" + id + "-s\"><input semantic=\"INPUT\" source=\"#" + id +
           "-t\"/><input semantic=\"OUTPUT\" source=\"#" + id + "-v\"/></sampler><channel source=\"#" + id +
           "-s\" target=\"" + target + "\"/></animation>";
}

std::string Motion(const std::string& channels, const std::string& nodes) {
    return Dae("<library_animations>" + channels + "</library_animations>" + Scene(nodes));
}

// Joints Root (0) > Child (1), and Other (2) without parent.
struct Skeleton {
    MzModel model;
    Skeleton() {
        MzJoint* root = model.CreateJoint();
        root->name = "Root";
        MzJoint* child = model.CreateJoint();
        child->name = "Child";
        child->SetParent(root);
        MzJoint* other = model.CreateJoint();
        other->name = "Other";
    }
};

struct ImportedMotion {
    Skeleton skeleton;
    MzMotionData data;
};

std::unique_ptr<ImportedMotion> Import(const std::string& xml, float scale = 1.0f) {
    TempFile file(xml);
    auto r = std::make_unique<ImportedMotion>();
    MzColladaReader::ReadMotion(file.Path(), r->data, r->skeleton.model, scale);
    return r;
}

const std::string kChildNodes = R"(<node id="Root" type="JOINT"><node id="Child" type="JOINT">
    <translate sid="location">5 6 7</translate><rotate sid="rotY">0 1 0 0</rotate></node></node>)";

void ExpectTranslation(const MzMotionKeyFrame* k, float x, float y, float z) {
    EXPECT_NEAR(k->translation.x, x, 1e-5f);
    EXPECT_NEAR(k->translation.y, y, 1e-5f);
    EXPECT_NEAR(k->translation.z, z, 1e-5f);
    EXPECT_EQ(k->translation.w, 1.0f);
}

} // namespace

TEST(ImportMotion, ComponentsKeyedAtTheSameTimesMergeAndUnkeyedOnesKeepTheStaticValue) {
    auto r = Import(Motion(
        Channel("Child/location.X", "0 1", "1 2") + Channel("Child/location.Y", "0 1", "3 4"), kChildNodes));
    ASSERT_EQ(r->data.curveCount, 3u);
    const auto& keys = r->data.curves[1].keys;
    ASSERT_EQ(keys.Count(), 2u);
    ExpectTranslation(keys[0], 1, 3, -7);
    ExpectTranslation(keys[1], 2, 4, -7);
    EXPECT_EQ(r->data.length, 1.0f);
}

TEST(ImportMotion, AKeyOfOneComponentTakesTheStaticValueOfTheOthersNotAnInterpolation) {
    auto r = Import(
        Motion(Channel("Child/location.X", "0 1", "1 2") + Channel("Child/location.Y", "0 0.5 1", "3 9 4"),
               kChildNodes));
    const auto& keys = r->data.curves[1].keys;
    ASSERT_EQ(keys.Count(), 3u);
    EXPECT_EQ(keys[1]->time, 0.5f);
    ExpectTranslation(keys[1], 5, 9, -7);
}

TEST(ImportMotion, AnEntryWithoutTranslationRecordHasTheOrigin) {
    auto r = Import(Motion(
        Channel("Child/location.X", "0 1", "1 2") + Channel("Child/rotY.ANGLE", "0.5", "90"), kChildNodes));
    const auto& keys = r->data.curves[1].keys;
    ASSERT_EQ(keys.Count(), 3u);
    ExpectTranslation(keys[1], 0, 0, 0);
}

TEST(ImportMotion, RotationAboutYOnAChildOfAnIdentityParent) {
    auto r = Import(Motion(Channel("Child/rotY.ANGLE", "0", "90"), kChildNodes));
    const auto& keys = r->data.curves[1].keys;
    ASSERT_EQ(keys.Count(), 1u);
    EXPECT_NEAR(keys[0]->rotation.x, 0.0f, 1e-6f);
    EXPECT_NEAR(keys[0]->rotation.y, -0.7071068f, 1e-6f);
    EXPECT_NEAR(keys[0]->rotation.z, 0.0f, 1e-6f);
    EXPECT_NEAR(keys[0]->rotation.w, 0.7071068f, 1e-6f);
}

TEST(ImportMotion, ChildRotationsBecomeAbsolute) {
    // Root turns 90° about Y at 0 s; the child adds another 90°: 180° in all.
    auto r = Import(Motion(Channel("Root/rotY.ANGLE", "0", "90") + Channel("Child/rotY.ANGLE", "0", "90"),
                           R"(<node id="Root" type="JOINT"><rotate sid="rotY">0 1 0 0</rotate>
                              <node id="Child" type="JOINT"><rotate sid="rotY">0 1 0 0</rotate></node></node>)"));
    const Quaternion& q = r->data.curves[1].keys[0]->rotation;
    // The root's own turn (-90°), the child's (-90°) and the half turn: a full turn, ±identity.
    EXPECT_NEAR(std::fabs(q.w), 1.0f, 1e-5f);
    EXPECT_NEAR(q.y, 0.0f, 1e-5f);
}

TEST(ImportMotion, RootTranslationsAreTurnedByTheHalfTurn) {
    // A whole-element channel: one stride-3 output value per key.
    std::string channels = R"(<animation><source id="t"><float_array id="ta">0 1</float_array></source>
        <source id="v"><float_array id="va">0 0 1  1 0 0</float_array><technique_common><accessor source="#va" stride="3"/>
        </technique_common></source><sampler id="s"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#v"/>
        </sampler><channel source="#s" target="Root/location"/></animation>)";
    auto root = Import(Motion(
        channels, R"(<node id="Root" type="JOINT"><translate sid="location">0 0 0</translate></node>)"));
    const auto& keys = root->data.curves[0].keys;
    ASSERT_EQ(keys.Count(), 2u);
    ExpectTranslation(keys[0], 0, 0, 1);
    ExpectTranslation(keys[1], -1, 0, 0);
    // The root's rotation is the half turn itself.
    EXPECT_NEAR(std::fabs(keys[0]->rotation.y), 1.0f, 1e-6f);
    EXPECT_NEAR(keys[0]->rotation.w, 0.0f, 1e-6f);
}

TEST(ImportMotion, ScaleDoublesTranslationsOnly) {
    std::string doc =
        Motion(Channel("Child/location.X", "0", "1") + Channel("Child/rotY.ANGLE", "0", "90"), kChildNodes);
    auto one = Import(doc, 1.0f);
    auto two = Import(doc, 2.0f);
    const MzMotionKeyFrame* a = one->data.curves[1].keys[0];
    const MzMotionKeyFrame* b = two->data.curves[1].keys[0];
    EXPECT_FLOAT_EQ(b->translation.x, 2 * a->translation.x);
    EXPECT_FLOAT_EQ(b->translation.z, 2 * a->translation.z);
    EXPECT_FLOAT_EQ(b->rotation.y, a->rotation.y);
}

TEST(ImportMotion, AJointNamedLikeNoModelJointChangesCurveZero) {
    auto r = Import(
        Motion(Channel("Stranger/location.X", "0 2", "1 2"),
               R"(<node id="Stranger" type="JOINT"><translate sid="location">0 0 0</translate></node>)"));
    EXPECT_EQ(r->data.curves[0].keys.Count(), 2u);
    EXPECT_EQ(r->data.length, 2.0f);
}

TEST(ImportMotion, LengthIsTheLatestKeyAndZeroWhenAllKeysAreAtZero) {
    auto r = Import(Motion(Channel("Child/location.X", "0", "1"), kChildNodes));
    EXPECT_EQ(r->data.length, 0.0f);
    EXPECT_EQ(r->data.curves[1].keys.Count(), 1u);
}

TEST(ImportMotion, OnlyTheFirstRootIsTurned) {
    auto r = Import(Motion(Channel("Other/rotY.ANGLE", "0", "90"),
                           R"(<node id="Other" type="JOINT"><rotate sid="rotY">0 1 0 0</rotate></node>)"));
    const Quaternion& q = r->data.curves[2].keys[0]->rotation;
    EXPECT_NEAR(q.y, -0.7071068f, 1e-6f);
    EXPECT_NEAR(q.w, 0.7071068f, 1e-6f);
}

TEST(ImportMotion, ScaleMatrixAndNonJointNodesContributeNothing) {
    auto r = Import(Motion(Channel("Child/s.X", "0 1", "1 2") + Channel("Plain/location.X", "0 1", "1 2"),
                           R"(<node id="Plain"><translate sid="location">0 0 0</translate>
                              <node id="Child" type="JOINT"><scale sid="s">1 1 1</scale></node></node>)"));
    for (uint32_t i = 0; i < r->data.curveCount; ++i)
        EXPECT_EQ(r->data.curves[i].keys.Count(), 0u) << i;
}

TEST(ImportMotion, ADocumentThatDoesNotLoadLeavesEmptyCurves) {
    Reports reports;
    TempFile file("<COLLADA><library_animations>");
    Skeleton skeleton;
    MzMotionData data;
    data.name = "walk";
    data.length = 3;
    EXPECT_FALSE(MzColladaReader::ReadMotion(file.Path(), data, skeleton.model, 1.0f));
    EXPECT_EQ(data.name, "walk");
    EXPECT_EQ(data.curveCount, 3u);
    EXPECT_EQ(data.length, 0.0f);
    EXPECT_EQ(reports.errorBoxes,
              std::vector<std::string>{"ERROR : ファイルの読み込みに失敗しました(" + file.Path() + ")"});
    EXPECT_EQ(reports.texts, std::vector<std::string>{"モーションの読込中(" + file.Path() + ")\n"});
    EXPECT_EQ(reports.shown, 1);
    EXPECT_EQ(reports.hidden, 1);
}

TEST(ImportMotion, AModelWithoutJointsGetsNoCurves) {
    TempFile file(Motion(Channel("Child/location.X", "0", "1"), kChildNodes));
    MzModel model;
    MzMotionData data;
    EXPECT_TRUE(MzColladaReader::ReadMotion(file.Path(), data, model, 1.0f));
    EXPECT_EQ(data.curveCount, 0u);
}

TEST(ImportMotion, NanKeyTimesAreSkipped) {
    auto r = Import(Motion(Channel("Child/location.X", "nan 1", "1 2"), kChildNodes));
    ASSERT_EQ(r->data.curves[1].keys.Count(), 1u);
    EXPECT_EQ(r->data.curves[1].keys[0]->time, 1.0f);
}

// ---- KeyFrameList ---------------------------------------------------------------------------

TEST(KeyFrameList, EntriesStayInTimeOrderAndEqualTimesShareOne) {
    KeyFrameList list;
    KeyFrameEntry& one = list.FindOrInsert(1.0f);
    list.FindOrInsert(0.5f);
    list.FindOrInsert(2.0f);
    EXPECT_EQ(&list.FindOrInsert(1.0f), &one);
    std::vector<float> times;
    for (const auto& [time, entry] : list)
        times.push_back(entry->time);
    EXPECT_EQ(times, (std::vector<float>{0.5f, 1.0f, 2.0f}));
}

TEST(KeyFrameList, RecordsAreCreatedEmptyAndKeptInElementOrder) {
    KeyFrameEntry entry(0);
    entry.Record(3).kind = KeyFrameRecord::kRotation;
    entry.Record(1).kind = KeyFrameRecord::kTranslation;
    EXPECT_EQ(entry.Record(3).kind, KeyFrameRecord::kRotation);
    KeyFrameRecord& fresh = entry.Record(2);
    EXPECT_EQ(fresh.kind, KeyFrameRecord::kEmpty);
    EXPECT_EQ(fresh.w, 1.0f);
    EXPECT_EQ(fresh.axisW, 1.0f);
    std::vector<uint32_t> order;
    for (const auto& [h, r] : entry.Records())
        order.push_back(h);
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3}));
}

TEST(ImportMotion, AJointWithoutKeysBetweenAnimatedOnesPassesTheIdentity) {
    MzModel model;
    MzJoint* root = model.CreateJoint();
    root->name = "Root";
    MzJoint* middle = model.CreateJoint();
    middle->name = "Middle";
    middle->SetParent(root);
    MzJoint* tip = model.CreateJoint();
    tip->name = "Tip";
    tip->SetParent(middle);
    TempFile file(Motion(Channel("Root/rotY.ANGLE", "0", "90") + Channel("Tip/rotY.ANGLE", "0", "90"),
                         R"(<node id="Root" type="JOINT"><rotate sid="rotY">0 1 0 0</rotate>
                              <node id="Middle" type="JOINT"><node id="Tip" type="JOINT"><rotate sid="rotY">0 1 0 0</rotate>
                              </node></node></node>)"));
    MzMotionData data;
    MzColladaReader::ReadMotion(file.Path(), data, model, 1.0f);
    EXPECT_EQ(data.curves[1].keys.Count(), 0u);
    const Quaternion& q = data.curves[2].keys[0]->rotation;
    // Only its own turn: the root's is not passed on through the joint without keys.
    EXPECT_NEAR(q.y, -0.7071068f, 1e-6f);
    EXPECT_NEAR(q.w, 0.7071068f, 1e-6f);
}

TEST(ImportMotion, AModelDocumentReadAgainAsMotionIsParsedOnceButAChangedFileAnew) {
    Reports reports;
    const std::string nodes =
        R"(<node id="Root" type="JOINT"><translate sid="location">0 0 0</translate></node>)";
    TempFile file(Motion(Channel("Root/location.X", "0 1", "1 2"), nodes));
    Skeleton fresh;
    MzMotionData expected, reused, changed;
    MzColladaReader::ReadMotion(file.Path(), expected, fresh.model, 1.0f);
    MzModel model;
    ASSERT_TRUE(MzColladaReader::ReadModel(file.Path(), model, 1.0f));
    ASSERT_TRUE(MzColladaReader::ReadMotion(file.Path(), reused, model, 1.0f));
    ASSERT_EQ(reused.curves[0].keys.Count(), expected.curves[0].keys.Count());
    EXPECT_EQ(reused.length, expected.length);

    ASSERT_TRUE(MzColladaReader::ReadModel(file.Path(), model, 1.0f));
    std::ofstream(file.Path(), std::ios::binary | std::ios::trunc)
        << Motion(Channel("Root/location.X", "0 1 3", "1 2 3"), nodes);
    ASSERT_TRUE(MzColladaReader::ReadMotion(file.Path(), changed, model, 1.0f));
    EXPECT_EQ(changed.length, 3.0f) << "the file changed after the model import";
}
