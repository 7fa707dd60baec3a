// The 2D camera actor: switches the scene to a flat, screen-like view.
//
// Every frame (also while paused) it puts the graphics device into flat 2D mode, places its camera in
// front of the world box looking at the world's centre, and sets an orthographic projection whose
// height is the world box's depth. Without one, the view stays the identity and the projection the
// device's default perspective.
#pragma once

#include "MzActor.h"
#include "MzFrame.h"

#include <cstdint>

class Camera2DActor : public MzActor {
  public:
    // Registration values with the actor manager: before the user interface and the mascots.
    static constexpr std::uint8_t kOrder = 30;
    static constexpr std::uint8_t kSubOrder = 128;

    void Update() override;

    MzCamera camera;
    // The actor works only while set; nothing clears it.
    bool active = true;
};
