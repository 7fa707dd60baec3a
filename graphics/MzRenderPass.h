// Render passes and the process-wide draw lists.
//
// Each frame the graphics system runs the passes of the pass list in order: the depth-map pass draws
// the silhouette into its mask target, reads it back and builds the window region; the normal pass
// draws in colour into the back buffer. Outside the region nothing is visible, so the normal pass
// clears and draws only inside the region's bounding box when it is given the depth-map pass.
#pragma once

#include <climits>
#include <cstdint>

#include "MzList.h"
#include "MzRegion.h"
#include "MzTexture.h"

class MzGrpDevice;
class MzModel;
class MzPrim;

// Drawn in this order by both passes, each with its blend, z-write and vertex-blend states.
struct MzDrawLists {
    MzList<MzModel*> models;
    MzList<MzModel*> translucentModels;
    MzList<MzPrim*> prims;
    MzList<MzPrim*> translucentPrims;

    bool Empty() const {
        return models.Empty() && translucentModels.Empty() && prims.Empty() && translucentPrims.Empty();
    }
};

MzDrawLists& MzGetDrawLists();

class MzRenderPass {
  public:
    // The render target, or null for the back buffer; not owned.
    MzTexture* target = nullptr;

    virtual ~MzRenderPass() = default;
    virtual void Render(MzGrpDevice* device) = 0;

    // Draws into `target` with a viewport of its requested size (the back buffer's without a target).
    void BindTarget(MzGrpDevice* device);

  protected:
    // True when the draw lists are empty and the target already holds nothing but the clear colour
    // (the last Render drew nothing): the pass then has nothing to do. Call once per Render.
    bool NothingToDraw();

  private:
    bool targetBlank_ = false;
};

// The pass list, in drawing order; not owned.
MzList<MzRenderPass*>& MzRenderPassList();

// Copies `area` of the current target (target pixels) into its lockable copy.
void ReadBack(MzGrpDevice* device, const MzRect& area);
// Four floats in 0..1 packed as 0xAARRGGBB, each truncated towards zero.
uint32_t ColorToArgb(float r, float g, float b, float a);
// The four lists with their states, in order.
void DrawLists(MzGrpDevice* device);

// The depth-map pass clears, draws, reads back and scans only the part of the mask that the draw
// lists can reach now or reached in the last frame (MzDrawListBounds); outside it the mask copy is
// already blank. With nothing to draw now or before it does nothing, and the region is empty.
class MzRenderPassDepthMap : public MzRenderPass {
  public:
    // The window region built from the mask; owns it until the window takes it.
    MzREGION region;
    MzTexture maskTexture;

    void Render(MzGrpDevice* device) override;
    // Builds `region` from the mask of the last Render, in client pixels (once per frame).
    void BuildWindowRegion();
    // Bounding box of the last region built, in client pixels; empty when nothing was drawn.
    const MzRect& RegionBounds() const { return regionBounds_; }

  private:
    struct MzSize {
        float x, y;
    };
    // Client pixels per mask pixel.
    MzSize MaskToClient() const;
    MzRect PreviouslyDrawn() const;

    bool regionBuilt_ = false;
    MzRect regionBounds_;
    // Mask pixels the last Render drew into (and so the mask copy may hold), for that copy and size.
    MzRect lastDrawn_;
    const MzSurface* lastSurface_ = nullptr;
    int32_t lastWidth_ = 0, lastHeight_ = 0;
    // Mask pixels this frame cleared and read back; the region is scanned only there.
    MzRect touched_{0, 0, INT32_MAX, INT32_MAX};
};

class MzRenderPassNormal : public MzRenderPass {
  public:
    // When set (and drawing into the back buffer), clearing and drawing are confined to the bounding
    // box of the region this pass built in the same frame; the pass list must run it first.
    MzRenderPassDepthMap* regionSource = nullptr;

    void Render(MzGrpDevice* device) override;

  private:
    void TrimRegionToCoverage(MzGrpDevice* device);

    MzSurface coverage_; // the drawn part of the back buffer, read back for the trim
};
