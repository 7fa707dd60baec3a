// Screen bounds of the draw lists: they hold every projected vertex of a skinned model, follow its
// joints, and fall back to the whole target where a bound cannot be given.
#include <gtest/gtest.h>

#include <cstring>

#include "MzDrawBounds.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzNullBackend.h"
#include "MzRenderPass.h"
#include "MzVertexFormat.h"
#include "NullWindow.h"

namespace {

struct Vertex {
    float x, y;
    float weight0; // on joint 0; the rest on joint 1
};

class DrawBoundsTest : public ::testing::Test {
  protected:
    NullWindow window{200, 100};
    MzGraphics graphics;
    MzModel model;
    MzPrim* prim = nullptr;

    void SetUp() override {
        ASSERT_TRUE(graphics.Create(&window, 0, 0));
        // x and y from -10 to 10 fill the target: 10 pixels per unit across, 5 down.
        graphics.device.SetOrtho(0, 0, 20, 20, -10, 10);
        for (int j = 0; j < 2; ++j)
            model.CreateJoint();
        prim = new MzPrim;
        ASSERT_TRUE(prim->Create(1, 3));
        prim->flags = kPrimInModel;
        model.prims.Add(prim);
        MzGetDrawLists().models.Add(&model);
    }
    void TearDown() override { MzGetDrawLists() = MzDrawLists{}; }

    void SetVertices(const Vertex (&v)[3]) {
        const MzVertexFormat& f = *MzGetVertexFormat(prim->vertexBuffer.formatId);
        prim->Lock();
        for (int i = 0; i < 3; ++i) {
            uint8_t* at = prim->lockedVertices + i * f.stride;
            const float pos[3] = {v[i].x, v[i].y, 0};
            const float weights[3] = {v[i].weight0, 0, 0};
            const uint8_t indices[4] = {0, 0, 0, 1};
            std::memcpy(at + f.position, pos, sizeof pos);
            std::memcpy(at + f.blendWeights, weights, sizeof weights);
            std::memcpy(at + f.blendIndices, indices, sizeof indices);
        }
        prim->Unlock();
    }
    void MoveJoint(int j, float x, float y) {
        Matrix4x4 pose = MatrixIdentity();
        pose.m[3][0] = x;
        pose.m[3][1] = y;
        model.joints[j]->SetOffsetMatrix(pose);
    }
    MzRect Bounds() { return MzDrawListBounds(graphics.device, 200, 100); }
};

} // namespace

TEST_F(DrawBoundsTest, HoldsTheProjectedVerticesWithAPixelMargin) {
    SetVertices({{0, 0, 1}, {2, 0, 1}, {0, 4, 1}});
    // x 0..2 → pixels 100..120, y 0..4 → rows 50 up to 30; a pixel more (and rounding) around.
    const MzRect b = Bounds();
    EXPECT_EQ(b.left, 99);
    EXPECT_EQ(b.top, 29);
    EXPECT_GE(b.right, 121);
    EXPECT_LE(b.right, 122);
    EXPECT_EQ(b.bottom, 51);
}

TEST_F(DrawBoundsTest, FollowsTheJointsAVertexIsWeightedBy) {
    SetVertices({{0, 0, 1}, {2, 0, 0.5f}, {0, 4, 0}});
    MoveJoint(1, 5, 0); // the vertices weighted by joint 1 move up to 5 units right
    const MzRect moved = Bounds();
    EXPECT_EQ(moved.left, 99);
    EXPECT_GE(moved.right, 171); // x = 2 + 5 under joint 1 alone
    EXPECT_LE(moved.right, 172);
    // The vertex buffer changed: the boxes per joint are made again.
    SetVertices({{0, 0, 1}, {2, 0, 1}, {0, 4, 1}});
    EXPECT_LE(Bounds().right, 122);
}

TEST_F(DrawBoundsTest, WholeTargetWhereNoBoundCanBeGivenAndEmptyWithNothingToDraw) {
    SetVertices({{0, 0, 1.5f}, {2, 0, 1}, {0, 4, 1}}); // a weight above 1
    EXPECT_EQ(Bounds(), (MzRect{0, 0, 200, 100}));
    SetVertices({{0, 0, 1}, {2, 0, 1}, {0, 4, 1}});
    graphics.device.SetPerspective(1, 2, 1, 100); // the model stands at the eye: behind the near plane
    EXPECT_EQ(Bounds(), (MzRect{0, 0, 200, 100}));
    MzGetDrawLists().models.Clear();
    EXPECT_TRUE(Bounds().Empty());
}
