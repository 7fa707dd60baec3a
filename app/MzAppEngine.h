// The subsystems the frame cycle drives, behind one interface: configuration and scripts, input,
// actors, graphics and its passes. MainApp owns the order of a tick and a frame; an engine supplies
// the work of each step, so the cycle can be tested without a script VM, a GPU or a display.
#pragma once

#include "MzHost.h"

#include <cstdint>
#include <string>
#include <vector>

class MzAppEngine {
  public:
    virtual ~MzAppEngine() = default;

    // Main thread, before the window exists: runs config.nut; false after reporting a failure.
    virtual bool LoadConfig() = 0;
    virtual std::string AppName() const = 0;

    // Application thread, in frame-cycle order.
    // Creates the graphics for the client area, the mask target and the passes, the world box, the
    // pickable-object list, and registers the script API; false after reporting a failure.
    virtual bool StartGraphics(const MzScreenRect& client) = 0;
    virtual bool RunStartupScript() = 0;
    // New buffer sizes and world box for a new client size, device resources re-created.
    virtual bool ResetGraphics(const MzScreenRect& client) = 0;
    virtual void SampleInput() = 0;
    virtual void UpdateActors(std::uint32_t elapsedMs) = 0;
    virtual void Render() = 0;
    // The rectangles of the window shape built from this frame's mask, in window coordinates.
    virtual std::vector<MzScreenRect> BuildWindowRegion() = 0;
    virtual void Present() = 0;
    virtual void CollectGarbage() = 0;
    // Kills all actors, drops the pickable objects and releases the device.
    virtual void EndGraphics() = 0;

    // GUI thread; read by the actors on the application thread.
    virtual void SetPaused(bool paused) = 0;
};
