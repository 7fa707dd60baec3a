// Render tests on the OpenGL backend (Mesa's llvmpipe under Xvfb): what the passes really draw.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "MzDraw.h"
#include "MzGLBackend.h"
#include "MzGLWindow.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzRenderPass.h"
#include "MzSnapshot.h"
#include "MzVertexFormat.h"

namespace {

constexpr int32_t kClientWidth = 320;
constexpr int32_t kClientHeight = 240;

struct Vertex {
    Vector3 position;
    Vector3 normal{0, 0, -1};
    float u = 0, v = 0;
    Vector3 weights{1, 0, 0};
    uint8_t indices[4] = {0, 0, 0, 0};
};

// Writes triangles (three vertices each) into a new format-3 prim.
std::unique_ptr<MzPrim> MakePrim(const std::vector<Vertex>& vertices) {
    auto prim = std::make_unique<MzPrim>();
    EXPECT_TRUE(
        prim->Create(static_cast<uint32_t>(vertices.size() / 3), static_cast<uint32_t>(vertices.size())));
    const MzVertexFormat& f = *MzGetVertexFormat(3);
    prim->Lock();
    for (size_t i = 0; i < vertices.size(); ++i) {
        uint8_t* at = prim->lockedVertices + i * f.stride;
        const Vertex& v = vertices[i];
        std::memcpy(at + f.position, &v.position, 12);
        std::memcpy(at + f.normal, &v.normal, 12);
        std::memcpy(at + f.blendWeights, &v.weights, 12);
        std::memcpy(at + f.blendIndices, v.indices, 4);
        const float uv[2] = {v.u, v.v};
        std::memcpy(at + f.texCoord0, uv, 8);
    }
    prim->Unlock();
    prim->renderState.twoSided = true;
    return prim;
}

// Two triangles facing the camera (clockwise as seen from it), u and v from 0 to 1 across.
std::vector<Vertex> Quad(float x0, float y0, float x1, float y1, float z) {
    Vertex a{{x0, y1, z}}, b{{x1, y1, z}}, c{{x1, y0, z}}, d{{x0, y0, z}};
    a.u = 0, a.v = 0, b.u = 1, b.v = 0, c.u = 1, c.v = 1, d.u = 0, d.v = 1;
    return {a, b, c, a, c, d};
}

uint32_t Pixel(const MzSurface& s, int32_t x, int32_t y) {
    uint32_t p;
    std::memcpy(&p, s.Row(y) + x * 4, 4);
    return p; // 0xAARRGGBB
}

int Brightness(uint32_t argb) {
    return static_cast<int>(((argb >> 16) & 0xFF) + ((argb >> 8) & 0xFF) + (argb & 0xFF));
}

class GLRenderTest : public ::testing::Test {
  protected:
    static inline QGuiApplication* app = nullptr;
    std::unique_ptr<QOpenGLContext> context;
    std::unique_ptr<QOffscreenSurface> surface;
    std::unique_ptr<MzGLWindow> window;
    std::unique_ptr<MzGraphics> graphics;
    std::unique_ptr<MzRenderPassDepthMap> depthPass;
    MzRenderPassNormal normalPass;
    MzModel model;

    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "mz_graphics_gl_test";
        static char* argv[] = {name, nullptr};
        if (app == nullptr && qEnvironmentVariableIsSet("DISPLAY")) app = new QGuiApplication(argc, argv);
    }

    void SetUp() override {
        if (app == nullptr) GTEST_SKIP() << "no display";
        QSurfaceFormat format;
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        format.setDepthBufferSize(24);
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        if (!context->create()) GTEST_SKIP() << "no OpenGL 3.3 context";
        surface = std::make_unique<QOffscreenSurface>();
        surface->setFormat(context->format());
        surface->create();
        window = std::make_unique<MzGLWindow>(context.get(), surface.get(), kClientWidth, kClientHeight);
        graphics = std::make_unique<MzGraphics>();
        ASSERT_TRUE(graphics->Create(window.get(), 0, 0));
        depthPass = std::make_unique<MzRenderPassDepthMap>();
        ASSERT_TRUE(
            depthPass->maskTexture.Create(&graphics->device, kClientWidth / 2, kClientHeight / 2, 3, 0));
        depthPass->target = &depthPass->maskTexture;
        MzRenderPassList().Add(depthPass.get());
        MzRenderPassList().Add(&normalPass);
        MzGetDrawLists().models.Add(&model);
    }

    void TearDown() override {
        MzRenderPassList().Clear();
        MzGetDrawLists() = MzDrawLists{};
        model.Clear();
        depthPass.reset();
        graphics.reset();
    }

    MzPrim* AddPrim(std::unique_ptr<MzPrim> prim) {
        prim->flags |= kPrimInModel;
        model.prims.Add(prim.get());
        return prim.release();
    }

    MzSurface Frame() {
        graphics->Render();
        MzSurface colour;
        EXPECT_TRUE(graphics->d3dDevice->ReadBackBuffer(&colour));
        return colour;
    }

    const MzSurface& Mask() const { return *depthPass->maskTexture.lockSurface; }

    // The client pixel a world point lands on.
    void ToClient(const Vector4& world, int32_t* x, int32_t* y) const {
        Vector4 ndc;
        graphics->device.Project(world, &ndc);
        *x = static_cast<int32_t>((ndc.x + 1) / 2 * kClientWidth);
        *y = static_cast<int32_t>((1 - ndc.y) / 2 * kClientHeight);
    }

    bool MaskInside(int32_t clientX, int32_t clientY) const {
        return (Pixel(Mask(), clientX / 2, clientY / 2) & 0xFF) != 0;
    }
};

} // namespace

TEST_F(GLRenderTest, EmptySceneMaskIsBlackAndRegionEmpty) {
    MzSurface colour = Frame();
    for (int32_t y = 0; y < kClientHeight / 2; ++y)
        for (int32_t x = 0; x < kClientWidth / 2; ++x)
            ASSERT_EQ(Pixel(Mask(), x, y), 0xFF000000u) << x << "," << y;
    ASSERT_NE(depthPass->region.handle, nullptr);
    EXPECT_TRUE(depthPass->region.handle->rects.empty());
}

TEST_F(GLRenderTest, SkinnedQuadFollowsItsPalette) {
    // Left edge bound to joint 0 by the first weight, right edge to joint 1 by the derived fourth.
    std::vector<Vertex> quad = Quad(-2, -1, 2, 1, 10);
    for (Vertex& v : quad)
        if (v.position.x > 0) {
            v.weights = {0, 0, 0};
            v.indices[3] = 1;
        }
    AddPrim(MakePrim(quad));
    model.CreateJoint();
    MzJoint* right = model.CreateJoint();
    Matrix4x4 pose = MatrixIdentity();
    pose.m[3][0] = 3; // bind pose identity, current pose 3 units to the right
    right->SetOffsetMatrix(pose);
    Frame();

    int32_t x, y;
    ToClient({4.5f, 0, 10, 1}, &x, &y);
    EXPECT_TRUE(MaskInside(x, y));
    ToClient({5.5f, 0, 10, 1}, &x, &y);
    EXPECT_FALSE(MaskInside(x, y));
    ToClient({-1.5f, 0, 10, 1}, &x, &y);
    EXPECT_TRUE(MaskInside(x, y));
    ToClient({-2.5f, 0, 10, 1}, &x, &y);
    EXPECT_FALSE(MaskInside(x, y));
    // The region follows the mask: its bounds end past the moved right edge.
    const MzRect bounds = depthPass->RegionBounds();
    ToClient({5, 0, 10, 1}, &x, &y);
    EXPECT_NEAR(bounds.right, x, 3);
}

TEST_F(GLRenderTest, TexturedPrimAlphaZeroHalfLeavesMaskRegionAndColour) {
    const std::string path = ::testing::TempDir() + "mz_half_alpha.png";
    {
        QImage image(2, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, 0xFFFFFFFFu);
        image.setPixel(1, 0, 0x00FFFFFFu);
        ASSERT_TRUE(image.save(QString::fromStdString(path)));
    }
    auto* texture = new MzTexture;
    model.textures.Add(texture);
    ASSERT_TRUE(texture->CreateFromFile(&graphics->device, path));
    MzPrim* prim = AddPrim(MakePrim(Quad(-2, -1, 2, 1, 10)));
    prim->textures[0] = texture;
    prim->renderState.lightingEnable = false;
    MzSurface colour = Frame();

    int32_t lx, ly, rx, ry;
    ToClient({-1, 0, 10, 1}, &lx, &ly);
    ToClient({1, 0, 10, 1}, &rx, &ry);
    EXPECT_TRUE(MaskInside(lx, ly));
    EXPECT_FALSE(MaskInside(rx, ry));
    EXPECT_EQ(Pixel(colour, lx, ly) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Pixel(colour, rx, ry) & 0xFFFFFF, 0u); // blended invisible
    int32_t mx, my;
    ToClient({0, 0, 10, 1}, &mx, &my);
    for (const MzRect& r : depthPass->region.handle->rects)
        EXPECT_LE(r.right, mx + 2);
    EXPECT_FALSE(depthPass->region.handle->rects.empty());
}

namespace {

// A UV sphere of radius r around c with outward normals, triangles clockwise from outside.
std::vector<Vertex> Sphere(Vector3 c, float r, int rings, int segments) {
    auto at = [&](int i, int j) {
        const float theta = static_cast<float>(M_PI) * i / rings,
                    phi = 2 * static_cast<float>(M_PI) * j / segments;
        Vector3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
        return Vertex{{c.x + r * n.x, c.y + r * n.y, c.z + r * n.z}, n};
    };
    std::vector<Vertex> out;
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            Vertex a = at(i, j), b = at(i, j + 1), p = at(i + 1, j + 1), d = at(i + 1, j);
            out.insert(out.end(), {a, b, p, a, p, d});
        }
    return out;
}

} // namespace

TEST_F(GLRenderTest, LitSphereIsBrightestWhereItFacesTheLight) {
    std::unique_ptr<MzPrim> sphere = MakePrim(Sphere({0, 0, 8}, 3, 48, 96));
    sphere->material.ambient = {0, 0, 0, 1};
    sphere->material.diffuse = {0.5f, 0.5f, 0.5f, 1};
    sphere->renderState.specularEnable = false;
    MzGrpDevice& device = graphics->device;
    ASSERT_TRUE(device.state.target == nullptr);
    normalPass.BindTarget(&device);
    device.d3dDevice->Clear(device.state, 0xFF000000u, 1);
    ApplyPrimStates(&device, *sphere);
    device.state.lights[1].enabled = false; // light 0 alone
    device.d3dDevice->DrawPrim(device.state, *sphere);
    MzSurface colour;
    ASSERT_TRUE(device.d3dDevice->ReadBackBuffer(&colour));

    int best = 0;
    for (int32_t y = 0; y < kClientHeight; ++y)
        for (int32_t x = 0; x < kClientWidth; ++x)
            best = std::max(best, Brightness(Pixel(colour, x, y)));
    // The brightest pixels form a small disc (8-bit colours saturate near the peak): take its centre.
    double sumX = 0, sumY = 0, count = 0;
    for (int32_t y = 0; y < kClientHeight; ++y)
        for (int32_t x = 0; x < kClientWidth; ++x)
            if (Brightness(Pixel(colour, x, y)) == best) sumX += x, sumY += y, ++count;
    const double bestX = sumX / count, bestY = sumY / count;
    // Light 0 travels along (0.357, 0.357, 0.863): the surface facing it looks left, down and at the camera.
    const Vector3 toward{-0.357407f, -0.357407f, -0.862856f};
    int32_t ex, ey;
    ToClient({3 * toward.x, 3 * toward.y, 8 + 3 * toward.z, 1}, &ex, &ey);
    EXPECT_NEAR(bestX, ex, 3);
    EXPECT_NEAR(bestY, ey, 3);
    EXPECT_NEAR(best, 3 * 127, 6); // 0.5 diffuse × full light
}

TEST_F(GLRenderTest, FlatShadingIsUniformPerTriangleGouraudIsNot) {
    // One triangle whose vertex normals point in different directions.
    Vertex a{{-3, 2, 10}, {0, 0, -1}}, b{{3, 2, 10}, {1, 0, 0}}, c{{0, -2, 10}, {0, 1, 0}};
    MzPrim* prim = AddPrim(MakePrim({a, b, c}));
    prim->material.ambient = {0, 0, 0, 1};
    auto coloursInside = [&](int32_t fillMode) {
        prim->renderState.fillMode = fillMode;
        MzSurface colour = Frame();
        std::set<uint32_t> colours;
        for (int32_t y = 0; y < kClientHeight; ++y)
            for (int32_t x = 0; x < kClientWidth; ++x)
                if ((Pixel(colour, x, y) & 0xFFFFFF) != 0) colours.insert(Pixel(colour, x, y));
        return colours.size();
    };
    EXPECT_EQ(coloursInside(2), 1u);
    EXPECT_GT(coloursInside(3), 20u);
}

TEST_F(GLRenderTest, WireframeDrawsOnlyTheEdges) {
    MzPrim* prim = AddPrim(MakePrim(Quad(-3, -2, 3, 2, 10)));
    prim->renderState.fillMode = 1;
    prim->renderState.lightingEnable = false;
    MzSurface colour = Frame();
    int32_t cx, cy, ex, ey;
    ToClient({0.5f, 0.7f, 10, 1}, &cx, &cy);
    EXPECT_EQ(Pixel(colour, cx, cy) & 0xFFFFFF, 0u);
    ToClient({0, 2, 10, 1}, &ex, &ey); // on the top edge
    bool edge = false;
    for (int32_t dy = -1; dy <= 1; ++dy)
        edge |= (Pixel(colour, ex, ey + dy) & 0xFFFFFF) != 0;
    EXPECT_TRUE(edge);
    // The mask pass overrides the fill mode: the silhouette is solid.
    EXPECT_TRUE(MaskInside(cx, cy));
}

TEST_F(GLRenderTest, DepthMapPassLeavesNoStateForTheNormalPass) {
    std::unique_ptr<MzPrim> owned = MakePrim(Sphere({0, 0, 8}, 3, 24, 48));
    MzPrim* sphere = AddPrim(std::move(owned));
    sphere->material.ambient = {0, 0, 0, 1};
    sphere->material.diffuse = {0.6f, 0.4f, 0.2f, 1};
    const MzSurface withMask = Frame();
    MzRenderPassList().Remove(depthPass.get());
    const MzSurface alone = Frame();
    EXPECT_EQ(withMask.bits, alone.bits);
    std::set<uint32_t> colours;
    for (int32_t y = 0; y < kClientHeight; ++y)
        for (int32_t x = 0; x < kClientWidth; ++x)
            colours.insert(Pixel(alone, x, y));
    EXPECT_GT(colours.size(), 50u); // lit and smooth, not the flat white silhouette
}

TEST_F(GLRenderTest, ResetKeepsDrawingWithRestoredTargets) {
    AddPrim(MakePrim(Quad(-2, -1, 2, 1, 10)));
    Frame();
    window->SetClientSize(kClientWidth * 2, kClientHeight * 2);
    graphics->ReleaseTextureResources();
    ASSERT_TRUE(graphics->CreateDevice());
    EXPECT_EQ(graphics->d3dDevice->Width(), kClientWidth * 2);
    MzSurface colour = Frame();
    EXPECT_EQ(colour.width, kClientWidth * 2);
    EXPECT_FALSE(depthPass->region.handle->rects.empty());
    EXPECT_NE(Pixel(colour, kClientWidth, kClientHeight) & 0xFFFFFF, 0u);
}

TEST_F(GLRenderTest, StateCacheSkipsRedundantWork) {
    for (int i = 0; i < 3; ++i)
        AddPrim(MakePrim(Quad(-2 + i, -1, -1 + i, 1, 10)));
    Frame();
    auto* backend = static_cast<MzGLBackend*>(graphics->d3dDevice.get());
    const MzGLStats before = backend->Stats();
    Frame();
    const MzGLStats& after = backend->Stats();
    EXPECT_EQ(after.draws - before.draws, 6u);
    EXPECT_EQ(after.bufferUploads, before.bufferUploads);
    EXPECT_LE(after.paletteUploads - before.paletteUploads, 2u);
    // Per frame only the pass switches change state, not every prim.
    EXPECT_LT(after.stateChanges - before.stateChanges, 20u);
}

TEST_F(GLRenderTest, MaskOfTheClientSizeMatchesTheColourSilhouette) {
    // Mask and back buffer with equal viewports on targets of different heights (256 vs 240 rows).
    ASSERT_TRUE(depthPass->maskTexture.Create(&graphics->device, kClientWidth, kClientHeight, 3, 0));
    MzPrim* prim = AddPrim(MakePrim(Quad(-2, -1.5f, 1, 2.5f, 10)));
    prim->renderState.lightingEnable = false;
    MzSurface colour = Frame();
    MzRect painted{kClientWidth, kClientHeight, 0, 0};
    for (int32_t y = 0; y < kClientHeight; ++y)
        for (int32_t x = 0; x < kClientWidth; ++x)
            if ((Pixel(colour, x, y) & 0xFFFFFF) != 0) {
                painted.left = std::min(painted.left, x);
                painted.top = std::min(painted.top, y);
                painted.right = std::max(painted.right, x + 1);
                painted.bottom = std::max(painted.bottom, y + 1);
            }
    EXPECT_EQ(depthPass->RegionBounds(), painted);
    EXPECT_FALSE(painted.Empty());
}

TEST_F(GLRenderTest, SnapshotWritesColourAndMaskOfTheModelAsPlaced) {
    MzModel quad;
    std::unique_ptr<MzPrim> prim = MakePrim(Quad(-1, -1, 1, 1, 0));
    prim->flags |= kPrimInModel;
    prim->renderState.lightingEnable = false;
    quad.prims.Add(prim.release());
    quad.ComputeBounds();
    const std::string colourPath = ::testing::TempDir() + "mz_snapshot.png";
    const std::string maskPath = ::testing::TempDir() + "mz_snapshot.mask.png";
    MzSnapshotOptions options;
    options.width = 200;
    options.height = 100;
    MzSnapshotResult result;
    std::string error;
    ASSERT_TRUE(MzRenderSnapshot(quad, options, colourPath, maskPath, &result, &error)) << error;
    const QImage colour(QString::fromStdString(colourPath)), mask(QString::fromStdString(maskPath));
    ASSERT_EQ(colour.size(), QSize(200, 100));
    ASSERT_EQ(mask.size(), QSize(200, 100));
    EXPECT_EQ(colour.pixel(100, 50) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mask.pixel(100, 50) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mask.pixel(2, 2) & 0xFFFFFF, 0u);
    // The whole quad is in view, centred: the region is one block around the middle.
    EXPECT_EQ(result.rectangles, static_cast<size_t>(result.bounds.bottom - result.bounds.top));
    EXPECT_NEAR((result.bounds.left + result.bounds.right) / 2.0, 100, 1.5);
    EXPECT_GT(result.bounds.left, 0);
    // The process-wide lists are as they were.
    EXPECT_EQ(MzRenderPassList().Count(), 2u);
    EXPECT_EQ(MzGetDrawLists().models.Count(), 1u);
    std::remove(colourPath.c_str());
    std::remove(maskPath.c_str());
}
