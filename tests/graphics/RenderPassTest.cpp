// Drawing and the render passes on the recording backend: the states each prim is drawn with.
#include <gtest/gtest.h>

#include "MzDraw.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzNullBackend.h"
#include "MzRenderPass.h"
#include "NullWindow.h"

namespace {

class PassTest : public ::testing::Test {
  protected:
    NullWindow window{640, 480};
    MzGraphics graphics;
    MzNullBackend* backend = nullptr;
    MzModel model;
    MzPrim* prim = nullptr;
    MzPrim loose;
    MzTexture skin;
    MzRenderPassDepthMap depthPass;
    MzRenderPassNormal normalPass;

    void SetUp() override {
        ASSERT_TRUE(graphics.Create(&window, 0, 0));
        backend = static_cast<MzNullBackend*>(graphics.d3dDevice.get());
        prim = new MzPrim;
        ASSERT_TRUE(prim->Create(1, 3));
        prim->flags = kPrimInModel;
        prim->textures[0] = &skin;
        prim->material.transparency = 0.25f;
        model.prims.Add(prim);
        ASSERT_TRUE(loose.Create(1, 3));
        MzGetDrawLists().models.Add(&model);
        MzGetDrawLists().prims.Add(&loose);
        depthPass.maskTexture.width = 160;
        depthPass.maskTexture.height = 120;
        ASSERT_TRUE(depthPass.maskTexture.Create(&graphics.device, 160, 120, 3, 0));
        depthPass.target = &depthPass.maskTexture;
        MzRenderPassList().Add(&depthPass);
        MzRenderPassList().Add(&normalPass);
    }
    void TearDown() override {
        MzRenderPassList().Clear();
        MzGetDrawLists() = MzDrawLists{};
    }
};

} // namespace

TEST(ColorToArgb, PacksAndTruncates) {
    EXPECT_EQ(ColorToArgb(0, 0, 0, 1), 0xFF000000u);
    EXPECT_EQ(ColorToArgb(1, 0.5f, 0.25f, 1), 0xFFFF7F3Fu);
    EXPECT_EQ(ColorToArgb(0.999f, 0, 0.0039f, 0), 0x00FE0000u);
}

TEST_F(PassTest, DepthMapPassDrawsUnlitFlatAndAlphaTestedThenNormalPassIsLitAgain) {
    graphics.Render();
    ASSERT_EQ(backend->draws.size(), 4u);
    ASSERT_EQ(backend->clears.size(), 2u);
    EXPECT_EQ(backend->clears[0].argb, 0xFF000000u);
    EXPECT_EQ(backend->clears[0].state.target, &depthPass.maskTexture);
    EXPECT_EQ(backend->clears[0].state.viewport, (MzRect{0, 0, 160, 120}));

    for (int i = 0; i < 2; ++i) {
        const MzDeviceState& s = backend->draws[i].state;
        EXPECT_FALSE(s.lighting);
        EXPECT_FALSE(s.specularEnable);
        EXPECT_EQ(s.shadeMode, MzShadeMode::Flat);
        EXPECT_EQ(s.fillMode, MzFillMode::Solid);
        EXPECT_EQ(s.colorOp, MzTextureOp::SelectArg2);
        EXPECT_TRUE(s.alphaTestEnable);
        EXPECT_EQ(s.alphaFunc, MzCompare::GreaterEqual);
        EXPECT_EQ(s.alphaRef, 1);
    }
    EXPECT_EQ(backend->draws[0].state.textures[0], &skin); // texture alpha shapes the silhouette
    for (int i = 2; i < 4; ++i) {
        const MzDeviceState& s = backend->draws[i].state;
        EXPECT_TRUE(s.lighting);
        EXPECT_TRUE(s.specularEnable);
        EXPECT_EQ(s.shadeMode, MzShadeMode::Gouraud);
        EXPECT_EQ(s.colorOp, MzTextureOp::Modulate);
        EXPECT_FALSE(s.alphaTestEnable);
        EXPECT_EQ(s.target, nullptr);
        EXPECT_TRUE(s.lights[0].enabled);
        EXPECT_NEAR(s.lights[0].direction.z, 0.862856f, 1e-5f);
        EXPECT_NEAR(s.lights[1].direction.x, -0.357407f, 1e-5f);
    }
    EXPECT_EQ(backend->readBacks, (std::vector<MzTexture*>{&depthPass.maskTexture}));
    EXPECT_FALSE(graphics.device.state.alphaTestEnable);
    EXPECT_TRUE(graphics.device.lightingEnable);
}

TEST_F(PassTest, ListsCarryTheirStates) {
    graphics.Render();
    const MzDeviceState& modelState = backend->draws[2].state;
    EXPECT_TRUE(modelState.alphaBlendEnable);
    EXPECT_TRUE(modelState.zWriteEnable);
    EXPECT_TRUE(modelState.indexedVertexBlend);
    EXPECT_EQ(modelState.cullMode, MzCullMode::CounterClockwise);
    EXPECT_FLOAT_EQ(modelState.material.diffuse.w, 0.75f);
    const MzDeviceState& primState = backend->draws[3].state;
    EXPECT_FALSE(primState.alphaBlendEnable);
    EXPECT_TRUE(primState.zWriteEnable);
    EXPECT_FALSE(primState.indexedVertexBlend);
    EXPECT_EQ(backend->draws[3].prim, &loose);
}

TEST_F(PassTest, EmptyMaskGivesEmptyRegionAndTheScissoredNormalPassDrawsNothing) {
    normalPass.regionSource = &depthPass;
    graphics.Render();
    ASSERT_NE(depthPass.region.handle, nullptr);
    EXPECT_TRUE(depthPass.region.handle->rects.empty());
    EXPECT_TRUE(depthPass.RegionBounds().Empty());
    EXPECT_EQ(backend->clears.size(), 1u); // the normal pass's scissor is empty
}

TEST_F(PassTest, NormalPassIsScissoredToTheRegionBoundsInBackBufferPixels) {
    ASSERT_TRUE(graphics.Create(&window, 320, 240)); // half the client size
    backend = static_cast<MzNullBackend*>(graphics.d3dDevice.get());
    normalPass.regionSource = &depthPass;
    // The recording backend leaves the mask's CPU copy alone: a silhouette put there by hand stays.
    MzSurface& mask = *depthPass.maskTexture.lockSurface;
    mask.bits[static_cast<size_t>(10 * mask.pitch + 20 * 4)] = 0xFF;
    mask.bits[static_cast<size_t>(30 * mask.pitch + 40 * 4)] = 0xFF;
    graphics.Render();
    EXPECT_EQ(depthPass.RegionBounds(), (MzRect{80, 40, 164, 124})); // client pixels, scale 640 / 160
    ASSERT_EQ(backend->clears.size(), 2u);
    EXPECT_TRUE(backend->clears[1].state.scissorEnable);
    EXPECT_EQ(backend->clears[1].state.scissor, (MzRect{40, 20, 82, 62}));
    EXPECT_EQ(backend->clears[1].state.viewport, (MzRect{0, 0, 320, 240}));
}

TEST_F(PassTest, ModelMatricesAndOverrides) {
    MzJoint* joint = model.CreateJoint();
    Matrix4x4 bind = MatrixIdentity();
    bind.m[3][1] = 2;
    joint->SetMatrix(bind);
    Matrix4x4 pose = bind;
    pose.m[3][0] = 5; // moved 5 along x from the bind pose
    joint->SetOffsetMatrix(pose);
    model.worldMatrix.m[3][2] = 7;
    SetModelMatrices(&graphics.device, model);
    EXPECT_FLOAT_EQ(graphics.device.state.worldMatrices[0].m[3][0], 5);
    EXPECT_FLOAT_EQ(graphics.device.state.worldMatrices[0].m[3][1], 0);
    EXPECT_FLOAT_EQ(graphics.device.state.worldMatrices[0].m[3][2], 7);

    graphics.device.flat2D = true;
    graphics.device.worldBox = BoundingBox{{-1, -1, -1, 1}, {1, 3, 3, 1}};
    loose.worldMatrix.m[3][0] = 2;
    loose.worldMatrix.m[3][1] = 4;
    loose.worldMatrix.m[3][2] = 5;
    graphics.device.fillModeOverride = 2;
    graphics.device.textureEnable = false;
    loose.textures[0] = &skin;
    ApplyPrimStates(&graphics.device, loose);
    const MzDeviceState& s = graphics.device.state;
    EXPECT_FLOAT_EQ(s.worldMatrices[0].m[3][0], 2);
    EXPECT_FLOAT_EQ(s.worldMatrices[0].m[3][1], (4 - 1) + (5 - 1));
    EXPECT_FLOAT_EQ(s.worldMatrices[0].m[3][2], 0);
    EXPECT_EQ(s.shadeMode, MzShadeMode::Flat);
    EXPECT_EQ(s.textures[0], nullptr);
}

// A desktop guest with nothing to draw costs nothing: after the frame that blanks the targets, no
// pass clears, draws or reads back, and the region stays empty.
TEST_F(PassTest, NothingDrawnRunsNoPass) {
    normalPass.regionSource = &depthPass;
    MzGetDrawLists() = MzDrawLists{};
    auto frame = [&] {
        backend->clears.clear();
        backend->draws.clear();
        backend->readBacks.clear();
        graphics.Render();
        depthPass.BuildWindowRegion();
    };
    frame(); // the targets' contents are unknown until cleared once
    EXPECT_EQ(backend->clears.size(), 1u);
    EXPECT_EQ(backend->readBacks.size(), 1u);
    for (int i = 0; i < 3; ++i) {
        frame();
        EXPECT_TRUE(backend->clears.empty());
        EXPECT_TRUE(backend->draws.empty());
        EXPECT_TRUE(backend->readBacks.empty());
        ASSERT_NE(depthPass.region.handle, nullptr);
        EXPECT_TRUE(depthPass.region.handle->rects.empty());
        EXPECT_EQ(depthPass.region.handle->area, (MzRect{0, 0, 640, 480}));
        EXPECT_TRUE(depthPass.RegionBounds().Empty());
        depthPass.region.Take();
    }

    MzGetDrawLists().models.Add(&model);
    frame();
    EXPECT_EQ(backend->draws.size(), 1u); // the mask pass; the normal pass's region is empty here
    MzGetDrawLists().models.Clear();
    frame(); // the character has gone: its silhouette is cleared away once
    EXPECT_EQ(backend->clears.size(), 1u);
    EXPECT_EQ(backend->readBacks.size(), 1u);
    frame();
    EXPECT_TRUE(backend->clears.empty());
    EXPECT_TRUE(backend->readBacks.empty());
}
