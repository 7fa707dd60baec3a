// Render passes and the draw lists.
#include "MzRenderPass.h"

#include <algorithm>
#include <cmath>

#include "MzCoverage.h"
#include "MzDraw.h"
#include "MzDrawBounds.h"
#include "MzGraphics.h"

namespace {

constexpr uint32_t kClearColor = 0xFF000000u;
// The window's pixels outside the characters: transparent where a compositor blends the window by
// its alpha, black (as the mask's clear colour) where the window is cut to the silhouette instead.
constexpr uint32_t kWindowClearColor = 0x00000000u;

// Client pixels to back-buffer pixels, rounded outwards so that no visible pixel is left out.
MzRect ClientToRender(const MzRect& r) {
    const float sx =
        static_cast<float>(g_renderWidth.load()) / static_cast<float>(std::max(1, g_clientWidth.load()));
    const float sy =
        static_cast<float>(g_renderHeight.load()) / static_cast<float>(std::max(1, g_clientHeight.load()));
    return MzRect{static_cast<int32_t>(std::floor(static_cast<float>(r.left) * sx)),
                  static_cast<int32_t>(std::floor(static_cast<float>(r.top) * sy)),
                  static_cast<int32_t>(std::ceil(static_cast<float>(r.right) * sx)),
                  static_cast<int32_t>(std::ceil(static_cast<float>(r.bottom) * sy))};
}

MzRect Union(const MzRect& a, const MzRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return MzRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

void Clear(MzGrpDevice* device, uint32_t color = kClearColor) {
    device->d3dDevice->Clear(device->state, color, 1.0f);
}

} // namespace

MzDrawLists& MzGetDrawLists() {
    static MzDrawLists lists;
    return lists;
}

MzList<MzRenderPass*>& MzRenderPassList() {
    static MzList<MzRenderPass*> passes;
    return passes;
}

uint32_t ColorToArgb(float r, float g, float b, float a) {
    auto byte = [](float v) { return static_cast<uint32_t>(static_cast<int32_t>(v * 255)); };
    return ((byte(a) << 8 | (byte(r) & 0xFF)) << 8 | (byte(g) & 0xFF)) << 8 | (byte(b) & 0xFF);
}

void MzRenderPass::BindTarget(MzGrpDevice* device) {
    MzDeviceState& s = device->state;
    s.target = target;
    device->currentTarget = target;
    if (target == nullptr)
        s.viewport = MzRect{0, 0, g_renderWidth.load(), g_renderHeight.load()};
    else
        s.viewport = MzRect{0, 0, target->width, target->height};
    s.scissorEnable = false;
}

bool MzRenderPass::NothingToDraw() {
    const bool empty = MzGetDrawLists().Empty();
    const bool skip = empty && targetBlank_;
    targetBlank_ = empty;
    return skip;
}

void ReadBack(MzGrpDevice* device, const MzRect& area) {
    MzTexture* target = device->currentTarget;
    if (target == nullptr || !(target->flags & kTextureLockable) || (target->flags & kTextureFromFile))
        return;
    device->d3dDevice->ReadBack(*target, area);
}

void DrawLists(MzGrpDevice* device) {
    MzDeviceState& s = device->state;
    MzDrawLists& lists = MzGetDrawLists();
    auto setStates = [&s](bool blend, bool zWrite, bool indexedBlend) {
        s.alphaBlendEnable = blend;
        s.zWriteEnable = zWrite;
        s.indexedVertexBlend = indexedBlend;
    };
    setStates(true, true, true);
    DrawModelList(device, lists.models);
    setStates(true, false, true);
    DrawModelList(device, lists.translucentModels);
    setStates(false, true, false);
    DrawPrimList(device, lists.prims);
    setStates(true, false, false);
    DrawPrimList(device, lists.translucentPrims);
}

void MzRenderPassNormal::Render(MzGrpDevice* device) {
    if (NothingToDraw()) return;
    BindTarget(device);
    MzDeviceState& s = device->state;
    if (regionSource != nullptr && target == nullptr) {
        s.scissorEnable = true;
        s.scissor = ClientToRender(regionSource->RegionBounds());
    }
    if (!s.scissorEnable || !s.scissor.Empty()) {
        Clear(device, target == nullptr ? kWindowClearColor : kClearColor);
        DrawLists(device);
        if (regionSource != nullptr && target == nullptr) TrimRegionToCoverage(device);
    }
    ReadBack(device, s.viewport);
    s.scissorEnable = false;
    device->lightingEnable = device->specularEnable = device->textureEnable = true;
    device->fillModeOverride = 0;
}

void MzRenderPassNormal::TrimRegionToCoverage(MzGrpDevice* device) {
    MzRegionData* region = regionSource->region.handle.get();
    if (region == nullptr || region->rects.empty()) return;
    const MzRect area = device->state.scissor;
    if (!device->d3dDevice->ReadBackBufferArea(area, &coverage_)) return;
    const float sx =
        static_cast<float>(g_renderWidth.load()) / static_cast<float>(std::max(1, g_clientWidth.load()));
    const float sy =
        static_cast<float>(g_renderHeight.load()) / static_cast<float>(std::max(1, g_clientHeight.load()));
    *region = MzTrimRegionToCoverage(*region, coverage_, area, sx, sy);
}

void MzRenderPassDepthMap::Render(MzGrpDevice* device) {
    BindTarget(device);
    MzDeviceState& s = device->state;
    const MzRect drawn = MzDrawListBounds(*device, s.viewport.right, s.viewport.bottom);
    touched_ = Union(drawn, PreviouslyDrawn());
    lastDrawn_ = drawn;
    lastSurface_ = maskTexture.lockSurface.get();
    lastWidth_ = maskTexture.width;
    lastHeight_ = maskTexture.height;
    regionBuilt_ = false;
    if (touched_.Empty()) {
        // Blank before and now: no pass, and the region of the blank mask without scanning it.
        regionBuilt_ = true;
        const MzSize scale = MaskToClient();
        region.handle = std::make_unique<MzRegionData>();
        region.handle->area =
            MzRect{0, 0, static_cast<int32_t>(static_cast<float>(maskTexture.width) * scale.x),
                   static_cast<int32_t>(static_cast<float>(maskTexture.height) * scale.y)};
        regionBounds_ = MzRect{};
        return;
    }
    s.scissorEnable = true;
    s.scissor = touched_;
    Clear(device);
    device->lightingEnable = false;
    device->specularEnable = false;
    s.colorOp = MzTextureOp::SelectArg2;
    device->fillModeOverride = 2;
    s.alphaTestEnable = true;
    s.alphaFunc = MzCompare::GreaterEqual;
    s.alphaRef = 1;
    DrawLists(device);
    s.alphaTestEnable = false;
    s.alphaFunc = MzCompare::Always;
    s.alphaRef = 0;
    ReadBack(device, touched_);
    s.scissorEnable = false;
    device->lightingEnable = device->specularEnable = true;
    s.colorOp = MzTextureOp::Modulate;
    device->fillModeOverride = 0;
    // Built now so that the normal pass of this frame can confine itself to the region.
    BuildWindowRegion();
}

MzRect MzRenderPassDepthMap::PreviouslyDrawn() const {
    // A new or resized mask copy may hold anything until it has been cleared and read back whole.
    if (lastSurface_ != maskTexture.lockSurface.get() || lastWidth_ != maskTexture.width ||
        lastHeight_ != maskTexture.height)
        return MzRect{0, 0, maskTexture.width, maskTexture.height};
    return lastDrawn_;
}

MzRenderPassDepthMap::MzSize MzRenderPassDepthMap::MaskToClient() const {
    return MzSize{static_cast<float>(g_clientWidth.load()) / static_cast<float>(maskTexture.width),
                  static_cast<float>(g_clientHeight.load()) / static_cast<float>(maskTexture.height)};
}

void MzRenderPassDepthMap::BuildWindowRegion() {
    if (regionBuilt_) return;
    regionBuilt_ = true;
    const MzSize scale = MaskToClient();
    MzREGION::BuildFromMask(maskTexture.width, &region, maskTexture.lockSurface.get(), maskTexture.height,
                            scale.x, scale.y, touched_);
    // Without a region the window stays unshaped for this frame: all of it is visible.
    regionBounds_ = region.handle != nullptr ? region.handle->Bounds()
                                             : MzRect{0, 0, g_clientWidth.load(), g_clientHeight.load()};
}
