// Model data: buffers, prims, models, textures and the texture registry.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <filesystem>

#include "ErrorBoxRecorder.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzNullBackend.h"
#include "MzVertexFormat.h"

namespace {

void WritePosition(MzPrim* prim, uint32_t vertex, float x, float y, float z) {
    const MzVertexFormat* f = MzGetVertexFormat(prim->vertexBuffer.formatId);
    float p[3] = {x, y, z};
    std::memcpy(prim->lockedVertices + vertex * f->stride + f->position, p, sizeof p);
}

} // namespace

TEST(Prim, CreateMakesAnUnindexedTriangleList) {
    MzPrim prim;
    ASSERT_TRUE(prim.Create(2, 6));
    EXPECT_EQ(prim.primitiveCount, 2u);
    EXPECT_EQ(prim.topology, kTopologyTriangleList);
    EXPECT_EQ(prim.vertexBuffer.formatId, 3);
    EXPECT_EQ(prim.vertexBuffer.data.size(), 288u);
    EXPECT_EQ(prim.indexBuffer.data, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
}

TEST(Prim, TooManyVerticesFailWithTheMessage) {
    ErrorBoxRecorder boxes;
    MzPrim prim;
    EXPECT_FALSE(prim.Create(kMaxPrimTriangles + 1, 3 * (kMaxPrimTriangles + 1)));
    EXPECT_EQ(prim.topology, kTopologyNone);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("頂点バッファの生成に失敗しました(D3DERR_INVALIDCALL)"), std::string::npos);
    EXPECT_FALSE(prim.Create(0x80000000u, 0xFFFFFFFFu));
}

TEST(Prim, NestedLocksLockOnceAndCountOneRevision) {
    MzPrim prim;
    ASSERT_TRUE(prim.Create(1, 3));
    const uint32_t revision = prim.vertexBuffer.revision;
    prim.Lock();
    uint8_t* vertices = prim.lockedVertices;
    prim.Lock();
    EXPECT_EQ(prim.lockedVertices, vertices);
    prim.Unlock();
    EXPECT_EQ(prim.lockedVertices, vertices);
    prim.Unlock();
    EXPECT_EQ(prim.lockedVertices, nullptr);
    EXPECT_EQ(prim.lockedIndices, nullptr);
    EXPECT_EQ(prim.vertexBuffer.revision, revision + 1);
    prim.Unlock(); // unbalanced: ignored
    EXPECT_EQ(prim.lockCount, 0);
}

TEST(Prim, BoundsOfPositionsAndOfNothing) {
    MzPrim empty;
    empty.ComputeBounds();
    EXPECT_EQ(empty.bounds.min.x, FLT_MAX);
    EXPECT_EQ(empty.bounds.max.x, -FLT_MAX);

    MzPrim prim;
    ASSERT_TRUE(prim.Create(1, 3));
    prim.Lock();
    WritePosition(&prim, 0, -1, 2, 3);
    WritePosition(&prim, 1, 4, -5, 6);
    WritePosition(&prim, 2, 0, 0, -7);
    prim.Unlock();
    prim.ComputeBounds();
    EXPECT_EQ(prim.bounds.min.x, -1);
    EXPECT_EQ(prim.bounds.min.y, -5);
    EXPECT_EQ(prim.bounds.min.z, -7);
    EXPECT_EQ(prim.bounds.max.x, 4);
    EXPECT_EQ(prim.bounds.max.y, 2);
    EXPECT_EQ(prim.bounds.max.z, 6);
    EXPECT_EQ(prim.bounds.max.w, 1);
}

TEST(Model, BoundsJointsAndClear) {
    MzModel model;
    model.prims.Add(new MzPrim);
    model.ComputeBounds();
    EXPECT_EQ(model.bounds.min.y, FLT_MAX); // all prims empty: the empty box

    MzJoint* hip = model.CreateJoint();
    hip->name = "Hip";
    EXPECT_EQ(model.FindJoint("Hip"), hip);
    EXPECT_EQ(model.FindJoint("hip"), nullptr);

    model.textures.Add(new MzTexture);
    model.Clear();
    EXPECT_TRUE(model.prims.Empty());
    EXPECT_TRUE(model.textures.Empty());
    EXPECT_EQ(model.joints.Count(), 1u);
}

class TextureTest : public ::testing::Test {
  protected:
    MzGraphics graphics;
    MzNullBackend backend{640, 480};

    void SetUp() override { graphics.device.Attach(&backend); }
    void TearDown() override { graphics.device.Attach(nullptr); }
};

TEST_F(TextureTest, TargetIsAllocatedAtPowersOfTwoKeepingTheRequest) {
    MzTexture target;
    ASSERT_TRUE(target.Create(&graphics.device, 300, 200, kTextureRenderTarget | kTextureLockable, 0));
    EXPECT_EQ(target.width, 300);
    EXPECT_EQ(target.height, 200);
    EXPECT_EQ(target.surfaceWidth, 512);
    EXPECT_EQ(target.surfaceHeight, 256);
    ASSERT_NE(target.lockSurface, nullptr);
    EXPECT_EQ(target.lockSurface->pitch, 512 * 4);
    EXPECT_EQ(MzTextureRegistry().IndexOf(&target), 0);
    ASSERT_TRUE(target.Create(&graphics.device, 300, 200, 3, 0));
    EXPECT_EQ(MzTextureRegistry().Count(), 1u);
}

TEST_F(TextureTest, TargetFailureNamesTheRequestedSize) {
    ErrorBoxRecorder boxes;
    backend.createTextureResult = kD3DErrOutOfVideoMemory;
    MzTexture target;
    EXPECT_FALSE(target.Create(&graphics.device, 300, 200, 3, 0));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("テクスチャの生成に失敗(D3DERR_OUTOFVIDEOMEMORY) w:[300] h:[200]"),
              std::string::npos);
    EXPECT_EQ(MzTextureRegistry().Count(), 1u); // stays registered, retried after the next reset
}

TEST_F(TextureTest, ReleaseOfANeverCreatedTextureDoesNothing) {
    MzTexture other;
    ASSERT_TRUE(other.Create(&graphics.device, 4, 4, 1, 0));
    MzTexture texture;
    texture.Release();
    EXPECT_EQ(MzTextureRegistry().Count(), 1u);
    other.Release();
    EXPECT_TRUE(MzTextureRegistry().Empty());
}

TEST(FileTexture, LoadsWithoutADeviceAndKeepsItsPixels) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "mz_graphics_texture_test.png").string();
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(0x80102030u);
    image.setPixel(2, 0, 0xFF0000FFu);
    ASSERT_TRUE(image.save(QString::fromStdString(path)));

    MzTexture texture;
    ASSERT_TRUE(texture.CreateFromFile(nullptr, path));
    EXPECT_EQ(texture.flags, kTextureLockable | kTextureFromFile);
    EXPECT_EQ(texture.width, 3);
    EXPECT_EQ(texture.height, 2);
    EXPECT_EQ(texture.formatKind, 1);
    ASSERT_NE(texture.lockSurface, nullptr);
    const uint8_t* top = texture.lockSurface->Row(0);
    EXPECT_EQ((std::vector<uint8_t>(top, top + 4)), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0x80}));
    EXPECT_EQ((std::vector<uint8_t>(top + 8, top + 12)), (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0xFF}));
    std::filesystem::remove(path);
}

TEST(FileTexture, MissingOrBrokenFileIsReported) {
    const std::string broken = (std::filesystem::temp_directory_path() / "mz_graphics_broken.png").string();
    FILE* f = std::fopen(broken.c_str(), "wb");
    std::fputs("\x89PNG not really", f);
    std::fclose(f);
    for (const std::string& path : {std::string("/nonexistent/skin.png"), broken}) {
        ErrorBoxRecorder boxes;
        MzTexture texture;
        EXPECT_FALSE(texture.CreateFromFile(nullptr, path));
        EXPECT_EQ(texture.lockSurface, nullptr);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_NE(boxes.texts[0].find("texutre not found (\"" + path + "\")"), std::string::npos);
    }
    std::filesystem::remove(broken);
}
