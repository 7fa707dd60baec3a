// Motion curves and playback with root motion.
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "MzModel.h"
#include "MzMotion.h"

namespace {

MzMotionKeyFrame* Key(MzMotionCurve& curve, float time, Vector3 t) {
    MzMotionKeyFrame* k = curve.AddKey(time);
    k->translation = {t.x, t.y, t.z, 1};
    return k;
}

TEST(MotionCurveTest, AddKeyKeepsTimeOrderAndReturnsExistingKeys) {
    MzMotionCurve curve;
    MzMotionKeyFrame* a = curve.AddKey(0.0f);
    MzMotionKeyFrame* c = curve.AddKey(1.0f);
    EXPECT_EQ(curve.endTime, 1.0f);
    MzMotionKeyFrame* b = curve.AddKey(0.5f);
    EXPECT_EQ(curve.AddKey(0.5f), b);
    EXPECT_EQ(curve.endTime, 1.0f);
    ASSERT_EQ(curve.keys.Count(), 3u);
    EXPECT_EQ(curve.keys[0], a);
    EXPECT_EQ(curve.keys[1], b);
    EXPECT_EQ(curve.keys[2], c);
    EXPECT_EQ(b->translation.w, 1);
    EXPECT_EQ(b->rotation.w, 1);
    curve.AddKey(2.0f);
    EXPECT_EQ(curve.endTime, 2.0f);
}

TEST(MotionCurveTest, SamplingInterpolatesAndWrapsByTheCurvesOwnEnd) {
    MzMotionCurve curve;
    Key(curve, 0, {0, 0, 0});
    Key(curve, 1, {2, 0, 0});
    struct Case {
        float time, x;
    } cases[] = {{0.25f, 0.5f}, {0.999f, 1.998f}, {1.0f, 0.0f}, {1.25f, 0.5f}, {-0.25f, 0.0f}};
    for (const Case& c : cases) {
        Vector4 t = curve.SampleTranslation(c.time);
        EXPECT_NEAR(t.x, c.x, 1e-5f) << c.time;
        EXPECT_EQ(t.w, 1.0f);
    }

    MzMotionCurve late;
    Key(late, 0.5f, {3, 0, 0});
    Key(late, 0.75f, {5, 0, 0});
    EXPECT_EQ(late.SampleTranslation(0.1f).x, 3.0f); // before the first key: the first key

    MzMotionCurve single;
    Key(single, 0.3f, {1, 2, 3});
    for (float t : {0.0f, 0.3f, 7.7f})
        EXPECT_EQ(single.SampleTranslation(t).y, 2.0f) << t;

    MzMotionCurve empty;
    EXPECT_EQ(empty.SampleTranslation(0.5f).x, 0.0f);
    EXPECT_EQ(empty.SampleRotation(0.5f).w, 1.0f);
}

TEST(MotionCurveTest, RotationIsSpherical) {
    MzMotionCurve curve;
    curve.AddKey(0);
    float s = std::sqrt(0.5f);
    curve.AddKey(1)->rotation = {0, s, 0, s};
    Quaternion q = curve.SampleRotation(0.5f);
    EXPECT_NEAR(q.y, std::sin(3.14159265f / 8), 1e-6f);
    EXPECT_NEAR(q.w, std::cos(3.14159265f / 8), 1e-6f);
}

// A model of two joints (root, child) with motion data for both.
struct Rig {
    MzModel model;
    MzMotionData data;
    MzMotion motion;

    Rig() {
        MzJoint* root = model.CreateJoint();
        MzJoint* child = model.CreateJoint();
        child->SetParent(root);
        child->SetMatrix(Translate(0, 1, 0));
        child->SetOffsetMatrix(Translate(0, 1, 0));
        data.AllocateCurves(model);
        motion.Bind(model);
    }

    static Matrix4x4 Translate(float x, float y, float z) {
        Matrix4x4 m = MatrixIdentity();
        m.m[3][0] = x;
        m.m[3][1] = y;
        m.m[3][2] = z;
        return m;
    }
};

TEST(MotionTest, RootMotionStaysContinuousAcrossTheWrap) {
    Rig rig;
    Key(rig.data.curves[0], 0, {0, 0, 0});
    Key(rig.data.curves[0], 1, {0, 0, 10});
    rig.data.length = 1;
    rig.motion.Start(&rig.data);

    rig.motion.Update(600);
    EXPECT_NEAR(rig.motion.rootDelta.z, 6, 1e-4f);
    rig.motion.Update(600);
    EXPECT_NEAR(rig.motion.time, 0.2f, 1e-5f);
    EXPECT_NEAR(rig.motion.rootDelta.z, 6, 1e-4f);
    EXPECT_EQ(rig.motion.translations[0].z, 0);
    EXPECT_EQ(rig.motion.translations[0].w, 1);

    rig.motion.Update(0);
    EXPECT_NEAR(rig.motion.time, 0.2f, 1e-5f);
    EXPECT_EQ(rig.motion.rootDelta.z, 0);
    EXPECT_EQ(rig.motion.rootDelta.w, 1);
}

TEST(MotionTest, RootDeltaMovesTheModelTheWayItFaces) {
    Rig rig;
    Key(rig.data.curves[0], 0, {0, 0, 0});
    Key(rig.data.curves[0], 1, {0, 0, 10});
    rig.data.length = 1;
    D3DXMatrixRotationYawPitchRoll(&rig.model.worldMatrix, 3.14159265f / 2, 0, 0);
    rig.model.worldMatrix.m[3][0] = 100;
    rig.motion.Start(&rig.data);
    rig.motion.Update(500);
    rig.motion.Apply(rig.model);
    // Forward (+z) turned a quarter to the right is +x.
    EXPECT_NEAR(rig.model.worldMatrix.m[3][0], 105, 1e-4f);
    EXPECT_NEAR(rig.model.worldMatrix.m[3][2], 0, 1e-4f);
}

TEST(MotionTest, StartResetsTheClockAndTheRootReference) {
    Rig rig;
    Key(rig.data.curves[0], 0, {0, 0, 2});
    Key(rig.data.curves[0], 1, {0, 0, 12});
    rig.data.length = 1;
    rig.motion.Start(&rig.data);
    rig.motion.Update(500);
    MzMotionData other;
    other.AllocateCurves(rig.model);
    Key(other.curves[0], 0, {3, 0, 0});
    other.length = 1;
    rig.motion.Start(&other);
    EXPECT_EQ(rig.motion.time, 0);
    EXPECT_EQ(rig.motion.lastRootTranslation.x, 0);
    EXPECT_EQ(rig.motion.rootDelta.x, 0);
    rig.motion.Update(100);
    EXPECT_EQ(rig.motion.rootDelta.x, 3); // the first delta is the new root position
}

TEST(MotionTest, ApplyPosesJointsAndFallsBackToTheBindPose) {
    Rig rig;
    // Root turned a quarter about y; the child's local offset (0, 0, 1) follows the root's pose.
    float s = std::sqrt(0.5f);
    MzMotionKeyFrame* root = rig.data.curves[0].AddKey(0);
    root->rotation = {0, s, 0, s};
    root->translation = {0, 0, 0, 1};
    Key(rig.data.curves[1], 0, {0, 0, 1})->rotation = {0, s, 0, s};
    rig.data.length = 0;
    rig.motion.Start(&rig.data);
    rig.motion.Update(16);
    rig.motion.Apply(rig.model);
    const Matrix4x4& child = rig.model.joints[1]->offsetMatrix;
    EXPECT_NEAR(child.m[3][0], 1, 1e-6f);
    EXPECT_NEAR(child.m[3][2], 0, 1e-6f);
    EXPECT_NEAR(child.m[0][2], -1, 1e-6f);

    // A curve without keys gives its joint the bind pose.
    MzMotionData sparse;
    sparse.AllocateCurves(rig.model);
    Key(sparse.curves[0], 0, {0, 0, 0});
    rig.motion.Start(&sparse);
    rig.motion.Update(16);
    rig.motion.Apply(rig.model);
    EXPECT_EQ(rig.model.joints[1]->offsetMatrix.m[3][1], 1);
    EXPECT_EQ(rig.model.joints[1]->offsetMatrix.m[0][2], 0);
}

TEST(MotionTest, NothingPlaysWithoutDataOrWithoutCurves) {
    Rig rig;
    rig.model.joints[1]->SetOffsetMatrix(Rig::Translate(7, 7, 7));
    rig.motion.Update(100);
    rig.motion.Apply(rig.model);
    EXPECT_EQ(rig.motion.time, 0);
    EXPECT_EQ(rig.model.joints[1]->offsetMatrix.m[3][0], 7);

    // Curves for fewer joints than the model has; a zero length never wraps.
    MzMotionData none;
    rig.motion.Start(&none);
    rig.motion.Update(1500);
    rig.motion.Apply(rig.model);
    EXPECT_FLOAT_EQ(rig.motion.time, 1.5f);
    EXPECT_EQ(rig.model.joints[1]->offsetMatrix.m[3][0], 0);
}

TEST(MotionTest, ShortCurvesRunTwicePerCycle) {
    Rig rig;
    Key(rig.data.curves[1], 0, {0, 0, 0});
    Key(rig.data.curves[1], 0.5f, {4, 0, 0});
    rig.data.length = 1;
    rig.motion.Start(&rig.data);
    rig.motion.Update(750);
    EXPECT_NEAR(rig.motion.translations[1].x, 2, 1e-5f);
}

} // namespace
