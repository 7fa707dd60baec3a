// Stand-ins for the main window, the graphics device and a catchable mascot, for the input tests.
#pragma once

#include "MzGraphics.h"
#include "MzInput.h"
#include "MzModel.h"
#include "MzObject.h"
#include "NullWindow.h"

// The main window: the test writes its mouse state and position directly.
class FakeInputWindow : public MzInputWindow {
  public:
    const MzMouseState& Mouse() const override { return mouse; }
    void GetOrigin(int* x, int* y) const override {
        *x = originX;
        *y = originY;
    }

    void SetButton(MzMouseState::Button button, bool down) { mouse.SetButton(button, down); }
    // Places the cursor at (x, y) of the window.
    void MoveTo(int x, int y) {
        mouse.screenX = originX + x;
        mouse.screenY = originY + y;
    }

    MzMouseState mouse;
    int originX = 0;
    int originY = 0;
};

// A cube of side 2 around its model's origin, pickable through its object.
struct Cube {
    explicit Cube(Vector4 position) {
        model.bounds = BoundingBox{{-1, -1, -1, 1}, {1, 1, 1, 1}};
        SetPosition(position);
    }
    void SetPosition(const Vector4& p) {
        model.worldMatrix.m[3][0] = p.x;
        model.worldMatrix.m[3][1] = p.y;
        model.worldMatrix.m[3][2] = p.z;
    }
    Vector4 Position() const {
        return {model.worldMatrix.m[3][0], model.worldMatrix.m[3][1], model.worldMatrix.m[3][2], 1};
    }

    MzModel model;
    MzObject object;
};
