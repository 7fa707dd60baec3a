// One frame of the two passes on llvmpipe: a skinned character of 5 000 triangles and 30 joints
// covering about 5 % of a 1920 × 1080 back buffer, with a 480 × 270 mask. Run under xvfb-run, with
// LP_NUM_THREADS=0 for CPU times that include llvmpipe's rasterisation.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <cmath>
#include <cstring>
#include <memory>

#include "MzGLBackend.h"
#include "MzGLWindow.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzRenderPass.h"
#include "MzVertexFormat.h"

namespace {

constexpr int kJoints = 30;
constexpr int kRings = 50;    // along the height
constexpr int kSegments = 50; // around: 50 × 50 × 2 = 5 000 triangles
constexpr float kHeight = 2.6f, kRadius = 0.6f;

// A closed tube along y, radius varying with height, each vertex blended between its two nearest joints.
void BuildCharacter(MzModel* model) {
    for (int j = 0; j < kJoints; ++j) {
        MzJoint* joint = model->CreateJoint();
        Matrix4x4 bind = MatrixIdentity();
        bind.m[3][1] = kHeight * j / (kJoints - 1) - kHeight / 2;
        joint->SetMatrix(bind);
        joint->SetOffsetMatrix(bind);
    }
    auto* prim = new MzPrim;
    const uint32_t triangles = kRings * kSegments * 2;
    prim->Create(triangles, 3 * triangles);
    prim->flags = kPrimInModel;
    prim->renderState.twoSided = true;
    prim->material.ambient = {0.2f, 0.2f, 0.2f, 1};
    prim->material.diffuse = {0.8f, 0.6f, 0.5f, 1};
    model->prims.Add(prim);
    const MzVertexFormat& f = *MzGetVertexFormat(3);
    auto point = [](int ring, int segment, float* pos, float* normal) {
        const float t = static_cast<float>(ring) / kRings,
                    a = 2 * static_cast<float>(M_PI) * segment / kSegments;
        const float r = kRadius * (0.6f + 0.4f * std::sin(static_cast<float>(M_PI) * t));
        pos[0] = r * std::cos(a);
        pos[1] = kHeight * t - kHeight / 2;
        pos[2] = r * std::sin(a);
        normal[0] = std::cos(a);
        normal[1] = 0;
        normal[2] = std::sin(a);
    };
    prim->Lock();
    uint32_t v = 0;
    auto put = [&](int ring, int segment) {
        uint8_t* at = prim->lockedVertices + v++ * f.stride;
        float pos[3], normal[3];
        point(ring, segment, pos, normal);
        const float along = (pos[1] + kHeight / 2) / kHeight * (kJoints - 1);
        const int j0 = std::min(kJoints - 2, static_cast<int>(along));
        const float weights[3] = {1 - (along - j0), 0, 0};
        const uint8_t indices[4] = {static_cast<uint8_t>(j0), 0, 0, static_cast<uint8_t>(j0 + 1)};
        std::memcpy(at + f.position, pos, 12);
        std::memcpy(at + f.normal, normal, 12);
        std::memcpy(at + f.blendWeights, weights, 12);
        std::memcpy(at + f.blendIndices, indices, 4);
    };
    for (int ring = 0; ring < kRings; ++ring)
        for (int s = 0; s < kSegments; ++s) {
            put(ring, s), put(ring, s + 1), put(ring + 1, s + 1);
            put(ring, s), put(ring + 1, s + 1), put(ring + 1, s);
        }
    prim->Unlock();
    model->worldMatrix.m[3][2] = 5;
}

// Bends the character a little differently every frame, as a motion would.
void Pose(MzModel* model, int frame) {
    for (int j = 0; j < kJoints; ++j) {
        MzJoint* joint = model->joints[j];
        Matrix4x4 pose;
        D3DXMatrixRotationYawPitchRoll(&pose, 0.02f * std::sin(frame * 0.1f + j), 0, 0.01f * j);
        pose.m[3][0] = joint->localMatrix.m[3][0];
        pose.m[3][1] = joint->localMatrix.m[3][1];
        pose.m[3][2] = joint->localMatrix.m[3][2];
        joint->SetOffsetMatrix(pose);
    }
}

struct Scene {
    QOpenGLContext context;
    QOffscreenSurface surface;
    std::unique_ptr<MzGLWindow> window;
    MzGraphics graphics;
    MzRenderPassDepthMap depthPass;
    MzRenderPassNormal normalPass;
    MzModel model;
    int frame = 0;

    bool Init() {
        QSurfaceFormat format;
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        context.setFormat(format);
        if (!context.create()) return false;
        surface.setFormat(context.format());
        surface.create();
        window = std::make_unique<MzGLWindow>(&context, &surface, 1920, 1080);
        if (!graphics.Create(window.get(), 0, 0)) return false;
        depthPass.maskTexture.Create(&graphics.device, 480, 270, 3, 0);
        depthPass.target = &depthPass.maskTexture;
        MzRenderPassList().Add(&depthPass);
        MzRenderPassList().Add(&normalPass);
        BuildCharacter(&model);
        MzGetDrawLists().models.Add(&model);
        return true;
    }

    MzGLBackend& Backend() { return static_cast<MzGLBackend&>(*graphics.d3dDevice); }

    void Frame(bool scissor, bool present) {
        Pose(&model, frame++);
        normalPass.regionSource = scissor ? &depthPass : nullptr;
        graphics.Render();
        const MzRect bounds = depthPass.RegionBounds();
        if (present) graphics.Present(scissor ? &bounds : nullptr);
        Backend().Finish();
    }
};

Scene* g_scene = nullptr;

void BM_Frame(benchmark::State& state) {
    const bool scissor = state.range(0) != 0, present = state.range(1) != 0;
    for (auto _ : state)
        g_scene->Frame(scissor, present);
    const MzRect b = g_scene->depthPass.RegionBounds();
    double covered = 0;
    for (const MzRect& r : g_scene->depthPass.region.handle->rects)
        covered += static_cast<double>(r.right - r.left) * (r.bottom - r.top);
    state.counters["coverage%"] = 100 * covered / (1920.0 * 1080.0);
    state.counters["bbox_px"] = static_cast<double>(b.right - b.left) * (b.bottom - b.top);
}

void BM_MaskReadBack(benchmark::State& state) {
    g_scene->Frame(true, false);
    for (auto _ : state)
        g_scene->Backend().ReadBack(
            g_scene->depthPass.maskTexture,
            MzRect{0, 0, g_scene->depthPass.maskTexture.width, g_scene->depthPass.maskTexture.height});
}

// One frame's CPU split by part, each run to completion (glFinish): 0 the depth-map pass (bounded
// clear and draw, read-back, region), 1 the scissored normal pass, 2 the present. Only the named
// part is timed; the others run untimed, as in a frame (a fixed count: the untimed parts dominate).
void BM_FramePart(benchmark::State& state) {
    Scene& s = *g_scene;
    s.normalPass.regionSource = &s.depthPass;
    const int part = static_cast<int>(state.range(0));
    auto step = [&](int which, auto&& work) {
        if (which != part) state.PauseTiming();
        work();
        s.Backend().Finish();
        if (which != part) state.ResumeTiming();
    };
    for (auto _ : state) {
        state.PauseTiming();
        Pose(&s.model, s.frame++);
        state.ResumeTiming();
        step(0, [&] { s.depthPass.Render(&s.graphics.device); });
        step(1, [&] { s.normalPass.Render(&s.graphics.device); });
        step(2, [&] {
            const MzRect bounds = s.depthPass.RegionBounds();
            s.graphics.Present(&bounds);
        });
    }
}

// A frame with empty draw lists, after the one that blanked the targets.
void BM_NothingDrawn(benchmark::State& state) {
    Scene& s = *g_scene;
    s.normalPass.regionSource = &s.depthPass;
    MzGetDrawLists().models.Clear();
    s.Frame(true, true);
    for (auto _ : state)
        s.Frame(true, true);
    MzGetDrawLists().models.Add(&s.model);
}

} // namespace

BENCHMARK(BM_FramePart)->ArgName("part")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_NothingDrawn)->Unit(benchmark::kMicrosecond)->MinTime(1);
BENCHMARK(BM_Frame)
    ->ArgNames({"scissor", "present"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3)
    ->UseRealTime();
BENCHMARK(BM_MaskReadBack)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Scene scene;
    if (!scene.Init()) {
        std::fprintf(stderr, "no OpenGL 3.3 context: run under xvfb-run\n");
        return 1;
    }
    g_scene = &scene;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    MzRenderPassList().Clear();
    MzGetDrawLists().models.Clear();
    return 0;
}
