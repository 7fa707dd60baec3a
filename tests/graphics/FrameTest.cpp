// Frames, joints and cameras.
#include <cstring>

#include <gtest/gtest.h>

#include "MzFrame.h"
#include "MzModel.h"

namespace {

void ExpectRow(const Matrix4x4& m, int row, Vector4 v) {
    EXPECT_NEAR(m.m[row][0], v.x, 1e-6f) << "row " << row;
    EXPECT_NEAR(m.m[row][1], v.y, 1e-6f) << "row " << row;
    EXPECT_NEAR(m.m[row][2], v.z, 1e-6f) << "row " << row;
    EXPECT_NEAR(m.m[row][3], v.w, 1e-6f) << "row " << row;
}

Matrix4x4 Translation(float x, float y, float z) {
    Matrix4x4 m = MatrixIdentity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

TEST(FrameTest, PositionScalesWithTheHomogeneousTerm) {
    MzFrame f;
    Vector3 p{9, 9, 9};
    f.GetPosition(&p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.z, 0);

    f.localMatrix.m[3][3] = 2;
    f.SetPosition(1, 2, 3);
    ExpectRow(f.localMatrix, 3, {2, 4, 6, 2});
    f.GetPosition(&p);
    EXPECT_FLOAT_EQ(p.x, 1);
    EXPECT_FLOAT_EQ(p.y, 2);
    EXPECT_FLOAT_EQ(p.z, 3);
}

TEST(FrameTest, WorldMatrixWalksTheParentChainWithOrWithoutOffsets) {
    MzFrame root, child;
    child.SetParent(&root);
    root.SetMatrix(Translation(10, 0, 0));
    child.SetMatrix(Translation(0, 1, 0));
    child.SetOffsetMatrix(Translation(0, 0, 5));

    Matrix4x4 m;
    root.GetWorldMatrix(&m, true);
    ExpectRow(m, 3, {10, 0, 0, 1});
    child.GetWorldMatrix(&m, false);
    ExpectRow(m, 3, {10, 1, 0, 1});
    child.GetWorldMatrix(&m, true);
    ExpectRow(m, 3, {10, 1, 5, 1});

    Vector4 v{1, 1, 1, 1};
    child.TransformCoord(&v, &v);
    EXPECT_FLOAT_EQ(v.x, 11);
    EXPECT_FLOAT_EQ(v.z, 6);
    child.InverseTransformCoord(&v, &v);
    EXPECT_NEAR(v.x, 1, 1e-5f);
    EXPECT_NEAR(v.z, 1, 1e-5f);
    Vector4 n{1, 0, 0, 1};
    child.TransformNormal(&n, &n);
    EXPECT_FLOAT_EQ(n.x, 1);
    EXPECT_FLOAT_EQ(n.y, 0);
}

TEST(FrameTest, SetParentMovesTheFrame) {
    MzFrame a, b, c;
    c.SetParent(&a);
    c.SetParent(&b);
    EXPECT_EQ(a.children.Count(), 0u);
    ASSERT_EQ(b.children.Count(), 1u);
    EXPECT_EQ(b.children[0], &c);
    EXPECT_EQ(c.parent, &b);
}

TEST(FrameTest, LookAtOrientsAndKeepsThePosition) {
    MzFrame f;
    f.SetPosition(0, 0, -10);
    Vector3 origin{0, 0, 0};
    Vector4 up{0, 1, 0, 1};
    f.LookAt(&origin, &up);
    ExpectRow(f.localMatrix, 0, {1, 0, 0, 0});
    ExpectRow(f.localMatrix, 1, {0, 1, 0, 0});
    ExpectRow(f.localMatrix, 2, {0, 0, 1, 0});
    ExpectRow(f.localMatrix, 3, {0, 0, -10, 1});

    MzCamera camera;
    camera.SetPosition(0, 0, -10);
    camera.LookAt(&origin, &up);
    Matrix4x4 view;
    camera.GetViewMatrix(&view);
    ExpectRow(view, 3, {0, 0, 10, 1});
}

TEST(FrameTest, LookAtFallsBackForDegenerateDirections) {
    struct Case {
        Vector3 target;
        Vector4 up;
        Vector4 expectedUp;
        bool changed;
    } cases[] = {
        {{0, 0, 0}, {0, 1, 0, 1}, {0, 1, 0, 1}, false},                  // target at the frame itself
        {{0, 0, 5}, {0, 0, 3, 1}, {0, 1, 0, 1}, true},                   // up along the direction: Y axis
        {{0, 5, 0}, {0, 1, 0, 1}, {0, 0, 1, 1}, true},                   // direction along Y: Z axis
        {{5, 0, 0}, {0, 2, 2, 1}, {0, 0.7071068f, 0.7071068f, 1}, true}, // orthogonalised and normalised
    };
    for (const Case& c : cases) {
        MzFrame f;
        Matrix4x4 before = f.localMatrix;
        Vector4 up = c.up;
        f.LookAt(&c.target, &up);
        EXPECT_NEAR(up.x, c.expectedUp.x, 1e-6f);
        EXPECT_NEAR(up.y, c.expectedUp.y, 1e-6f);
        EXPECT_NEAR(up.z, c.expectedUp.z, 1e-6f);
        EXPECT_EQ(up.w, 1);
        EXPECT_EQ(std::memcmp(&before, &f.localMatrix, sizeof before) != 0, c.changed);
    }
}

TEST(FrameTest, CameraWithTargetLooksAtIt) {
    MzFrame target;
    target.SetPosition(0, 0, 5);
    MzCamera camera;
    camera.SetPosition(0, 0, -5);
    camera.target = &target;
    Matrix4x4 view;
    camera.GetViewMatrix(&view);
    ExpectRow(view, 3, {0, 0, 5, 1});
}

TEST(FrameTest, BoxTransformTakesAllEightCorners) {
    MzFrame f;
    Matrix4x4 m;
    D3DXMatrixRotationYawPitchRoll(&m, 3.14159265f / 2, 0, 0);
    f.SetMatrix(m * Translation(1, 0, 0));
    BoundingBox in{{0, 0, 0, 1}, {2, 1, 1, 1}}, out;
    f.TransformBox(&out, &in);
    EXPECT_NEAR(out.min.x, 1, 1e-5f);
    EXPECT_NEAR(out.max.x, 2, 1e-5f);
    EXPECT_NEAR(out.min.z, -2, 1e-5f);
    EXPECT_NEAR(out.max.z, 0, 1e-5f);
    BoundingBox back;
    f.InverseTransformBox(&back, &out);
    EXPECT_NEAR(back.min.x, 0, 1e-5f);
    EXPECT_NEAR(back.max.x, 2, 1e-5f);
    EXPECT_NEAR(back.max.z, 1, 1e-5f);
}

TEST(FrameTest, PointDirRecordsTransformPointAndDirectionOnly) {
    MzFrame f;
    f.SetMatrix(Translation(1, 2, 3));
    MzPointDir7 in{{0, 0, 0}, {7, 7, 7, 7}, {1, 0, 0}}, out{};
    out.extra = {-1, -1, -1, -1};
    f.TransformPointDir(&out, &in);
    EXPECT_FLOAT_EQ(out.point.y, 2);
    EXPECT_FLOAT_EQ(out.dir.x, 1);
    EXPECT_FLOAT_EQ(out.dir.y, 0);
    EXPECT_EQ(out.extra.x, -1);
    MzPointDir3 back{};
    MzPointDir3 in3{{1, 2, 3}, {0, 1, 0}};
    f.InverseTransformPointDir(&back, &in3);
    EXPECT_NEAR(back.point.x, 0, 1e-6f);
    EXPECT_NEAR(back.dir.y, 1, 1e-6f);
}

TEST(FrameTest, SkinMatrixIsIdentityInTheBindPose) {
    MzModel model;
    MzJoint* joint = model.CreateJoint();
    joint->name = "hip";
    Matrix4x4 bind;
    D3DXMatrixRotationYawPitchRoll(&bind, 0.4f, 0.2f, 0.1f);
    bind = bind * Translation(1, 2, 3);
    joint->SetMatrix(bind);
    joint->SetOffsetMatrix(bind);
    Matrix4x4 skin;
    joint->GetSkinMatrix(&skin);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(skin.m[r][c], r == c ? 1 : 0, 1e-5f);

    EXPECT_EQ(model.FindJoint("hip"), joint);
    EXPECT_EQ(model.FindJoint("Hip"), nullptr);
}

} // namespace
