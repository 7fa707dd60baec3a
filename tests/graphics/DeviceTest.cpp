// The device without a context: creation and reset through a fake window, projections, unprojections.
#include <gtest/gtest.h>

#include "ErrorBoxRecorder.h"
#include "MzBuffer.h"
#include "MzGraphics.h"
#include "MzNullBackend.h"
#include "MzTexture.h"

namespace {

class FakeWindow : public MzGraphicsWindow {
  public:
    int32_t width = 800, height = 600;
    bool fail = false;
    MzNullBackend* last = nullptr;

    void GetClientSize(int32_t* w, int32_t* h) const override {
        *w = width;
        *h = height;
    }
    std::unique_ptr<MzRenderBackend> CreateBackend(int32_t w, int32_t h, uint32_t* result) override {
        if (fail) {
            *result = kD3DErrNotAvailable;
            return nullptr;
        }
        auto backend = std::make_unique<MzNullBackend>(w, h);
        last = backend.get();
        return backend;
    }
};

void ExpectNear(const Vector4& a, const Vector4& b, float eps) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// A device with the default projection and a view from (0, 3, -10) looking slightly down.
class ProjectionTest : public ::testing::Test {
  protected:
    FakeWindow window;
    MzGraphics graphics;
    MzGrpDevice& device = graphics.device;

    void SetUp() override {
        ASSERT_TRUE(graphics.Create(&window, 0, 0));
        D3DXMatrixLookAtLH(&device.state.view, {0, 3, -10}, {0, 1, 0}, {0, 1, 0});
        device.worldBox = BoundingBox{{-4, 0, -2, 1}, {4, 6, 4, 1}};
    }
};

} // namespace

TEST(Graphics, CreateSetsSizesAndTheClientAspect) {
    struct Case {
        int32_t renderWidth, renderHeight, expectWidth, expectHeight;
    };
    for (const Case& c : {Case{0, 0, 800, 600}, Case{512, 384, 512, 384}}) {
        FakeWindow window;
        MzGraphics graphics;
        ASSERT_TRUE(graphics.Create(&window, c.renderWidth, c.renderHeight));
        EXPECT_TRUE(graphics.ready);
        EXPECT_EQ(g_clientWidth, 800);
        EXPECT_EQ(g_clientHeight, 600);
        EXPECT_EQ(g_renderWidth, c.expectWidth);
        EXPECT_EQ(g_renderHeight, c.expectHeight);
        EXPECT_EQ(window.last->Width(), c.expectWidth);
        Matrix4x4 expected;
        D3DXMatrixPerspectiveFovLH(&expected, 1.0471976f, 800.0f / 600.0f, 1, 1000);
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col)
                EXPECT_FLOAT_EQ(graphics.device.state.projection.m[r][col], expected.m[r][col]);
        EXPECT_EQ(graphics.device.state.ambient, 0x00FFFFFFu);
        EXPECT_EQ(graphics.device.state.cullMode, MzCullMode::None);
        EXPECT_EQ(GetBackBufferFormat(0), kBackBufferFormat);
    }
    EXPECT_EQ(g_graphics, nullptr);
    EXPECT_EQ(GetBackBufferFormat(0), 0u);
}

TEST(Graphics, FailedCreationShowsBothBoxes) {
    ErrorBoxRecorder boxes;
    FakeWindow window;
    window.fail = true;
    MzGraphics graphics;
    EXPECT_FALSE(graphics.Create(&window, 0, 0));
    EXPECT_FALSE(graphics.ready);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_NE(boxes.texts[0].find(
                  "Direct3Dデバイスの生成に失敗しました(D3DERR_NOTAVAILABLE) w:[800] h:[600] fmt:[21]"),
              std::string::npos);
    EXPECT_NE(boxes.texts[1].find("Direct3Dデバイスの作成に失敗しました。"), std::string::npos);
}

TEST(Graphics, ResetRestoresRegisteredTargetsAndDefaultStates) {
    FakeWindow window;
    MzGraphics graphics;
    ASSERT_TRUE(graphics.Create(&window, 0, 0));
    MzTexture mask;
    ASSERT_TRUE(mask.Create(&graphics.device, 300, 200, 3, 0));
    graphics.device.state.cullMode = MzCullMode::CounterClockwise;

    window.width = 1024;
    graphics.Create(&window, 0, 0); // releases the device: a new one is made
    graphics.ReleaseTextureResources();
    EXPECT_EQ(mask.texture, nullptr);
    EXPECT_EQ(mask.lockSurface, nullptr);
    ASSERT_TRUE(graphics.CreateDevice()); // the reset path
    EXPECT_NE(mask.texture, nullptr);
    ASSERT_NE(mask.lockSurface, nullptr);
    EXPECT_EQ(mask.surfaceWidth, 512);
    EXPECT_EQ(graphics.device.state.cullMode, MzCullMode::None);
}

// A work-area change: the host sets new buffer sizes and resets; a size-0 buffer follows the client.
TEST(Graphics, ResetTakesTheNewBufferSizes) {
    struct Case {
        int32_t createWidth, createHeight, hostWidth, hostHeight, expectWidth, expectHeight;
    };
    for (const Case& c :
         {Case{0, 0, 0, 0, 1024, 500}, Case{400, 300, 512, 250, 512, 250}, Case{400, 0, 512, 0, 512, 500}}) {
        FakeWindow window;
        MzGraphics graphics;
        ASSERT_TRUE(graphics.Create(&window, c.createWidth, c.createHeight));
        window.width = 1024;
        window.height = 500;
        if (c.hostWidth != 0) g_renderWidth = c.hostWidth;
        if (c.hostHeight != 0) g_renderHeight = c.hostHeight;
        graphics.ReleaseTextureResources();
        ASSERT_TRUE(graphics.CreateDevice());
        EXPECT_EQ(g_clientWidth, 1024);
        EXPECT_EQ(g_clientHeight, 500);
        EXPECT_EQ(graphics.d3dDevice->Width(), c.expectWidth);
        EXPECT_EQ(graphics.d3dDevice->Height(), c.expectHeight);
        EXPECT_EQ(g_renderWidth, c.expectWidth);
        EXPECT_EQ(g_renderHeight, c.expectHeight);
        Matrix4x4 expected;
        D3DXMatrixPerspectiveFovLH(&expected, 1.0471976f, 1024.0f / 500.0f, 1, 1000);
        EXPECT_FLOAT_EQ(graphics.device.state.projection.m[0][0], expected.m[0][0]);
    }
}

TEST(Graphics, OrthoMatrix) {
    FakeWindow window;
    MzGraphics graphics;
    ASSERT_TRUE(graphics.Create(&window, 0, 0));
    graphics.device.SetOrtho(1, 2, 8, 4, -3, 5);
    const auto& m = graphics.device.state.projection.m;
    EXPECT_FLOAT_EQ(m[0][0], 0.25f);
    EXPECT_FLOAT_EQ(m[1][1], 0.5f);
    EXPECT_FLOAT_EQ(m[2][2], 1.0f / 8);
    EXPECT_FLOAT_EQ(m[3][0], -0.25f);
    EXPECT_FLOAT_EQ(m[3][1], -1.0f);
    EXPECT_FLOAT_EQ(m[3][2], -3.0f / -8);
    EXPECT_FLOAT_EQ(m[3][3], 1);
    EXPECT_FLOAT_EQ(m[0][1] + m[2][3] + m[2][0], 0);
}

TEST(Graphics, WithoutADeviceProjectionsAreLeftAlone) {
    MzGrpDevice device;
    device.SetPerspective(1, 1, 1, 10);
    device.SetOrtho(0, 0, 2, 2, -1, 1);
    EXPECT_EQ(device.state.projection.m[0][0], 1);
    EXPECT_EQ(device.state.projection.m[2][3], 0);
}

TEST_F(ProjectionTest, UnprojectInvertsProject) {
    for (const Vector4& p : {Vector4{0, 0, 0, 1}, Vector4{1.5f, -2, 7, 1}, Vector4{-3, 4, 20, 1}}) {
        Vector4 ndc, back;
        device.Project(p, &ndc);
        device.Unproject(&back, ndc);
        ExpectNear(back, p, 2e-3f);
    }
}

TEST_F(ProjectionTest, PlaneUnprojectionsLandOnTheirPlanes) {
    const Vector4 ndc{0.2f, -0.3f, 0, 1};
    Vector4 w, check;
    device.UnprojectOnPlaneY(&w, ndc, 0.5f);
    EXPECT_EQ(w.y, 0.5f);
    device.Project(w, &check);
    EXPECT_NEAR(check.x, ndc.x, 1e-4f);
    EXPECT_NEAR(check.y, ndc.y, 1e-4f);

    device.UnprojectOnPlaneZ(ndc, &w, 4);
    EXPECT_EQ(w.z, 4);
    device.Project(w, &check);
    EXPECT_NEAR(check.x, ndc.x, 1e-4f);

    const Vector3 normal{0.6f, 0.8f, 0};
    device.UnprojectOnPlane(normal, ndc, &w, 1.0f);
    EXPECT_NEAR(normal.x * w.x + normal.y * w.y + normal.z * w.z, 1.0f, 1e-3f);
    device.Project(w, &check);
    EXPECT_NEAR(check.y, ndc.y, 1e-4f);
}

TEST_F(ProjectionTest, PlaneParallelToTheViewUsesTheFarPlane) {
    device.state.view = MatrixIdentity(); // eye at the origin looking along z: the plane y = 0 holds it
    Vector4 w;
    device.UnprojectOnPlaneY(&w, Vector4{0, 0, 0, 1}, 0);
    EXPECT_EQ(w.y, 0);
    EXPECT_NEAR(w.z, 1000, 0.5f);
}

TEST_F(ProjectionTest, FlatModeFoldsDepthIntoHeight) {
    device.flat2D = true;
    const float cz = 1; // centre of the world box
    for (const Vector4& p : {Vector4{1, 2, 3, 1}, Vector4{-2, 0.5f, -1, 1}}) {
        Vector4 a, b;
        device.Project(p, &a);
        device.Project(Vector4{p.x, p.y + p.z - cz, cz, 1}, &b);
        ExpectNear(a, b, 1e-5f);
    }
    const Vector4 ndc{0.1f, 0.4f, 0, 1};
    Vector4 u, w;
    Matrix4x4 vp, inv;
    device.GetViewProjection(&vp);
    D3DXMatrixInverse(&inv, vp);
    TransformCoord4(inv, &u, ndc);
    device.UnprojectOnPlaneY(&w, ndc, 2);
    EXPECT_EQ(w.y, 2);
    Vector4 folded = w;
    FoldFlat2D(&folded, device);
    ExpectNear(folded, Vector4{u.x, u.y, 0, 1}, 1e-4f);

    device.UnprojectOnPlaneZ(ndc, &w, -1.5f);
    EXPECT_EQ(w.z, -1.5f);
    folded = w;
    FoldFlat2D(&folded, device);
    ExpectNear(folded, Vector4{u.x, u.y, 0, 1}, 1e-4f);

    device.Unproject(&w, ndc);
    EXPECT_EQ(w.y, 0);
}
