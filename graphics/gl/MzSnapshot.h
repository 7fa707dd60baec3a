// One frame of a model through the mask pass and the normal pass, offscreen, written as PNG files:
// for people checking a model without the desktop, and for tests. Needs a display with OpenGL 3.3
// (Xvfb with Mesa is enough); creates the Qt application object when there is none.
#pragma once

#include <cstdint>
#include <string>

#include "MzRenderBackend.h"

class MzModel;

enum class MzSnapshotCamera {
    // The default projection, looking along +z at the model from far enough to see all of it.
    Perspective,
    // The 2D camera's flat view of a world box around the model.
    Flat2D,
};

struct MzSnapshotOptions {
    int32_t width = 640;
    int32_t height = 480;
    MzSnapshotCamera camera = MzSnapshotCamera::Perspective;
    // Turns the model about the vertical axis through its placement (radians) for this image only:
    // the cameras look along +z, so a model facing +z shows its back unless turned by π.
    float yaw = 0;
};

struct MzSnapshotResult {
    // The window region the mask gave, in image pixels.
    size_t rectangles = 0;
    MzRect bounds;
};

// Draws `model` as posed (its joints' current matrices and its world matrix) and writes the colour
// image to colourPng and the mask (white where the window would be) to maskPng. False with a reason.
bool MzRenderSnapshot(MzModel& model, const MzSnapshotOptions& options, const std::string& colourPng,
                      const std::string& maskPng, MzSnapshotResult* result, std::string* error);
