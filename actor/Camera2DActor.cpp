#include "Camera2DActor.h"

#include "MzGraphics.h"

void Camera2DActor::Update() {
    if (!active || g_graphics == nullptr) return;
    MzGrpDevice& device = g_graphics->device;
    device.flat2D = true;

    const BoundingBox& box = device.worldBox;
    camera.SetPosition(0, 0, box.min.z);
    const Vector3 centre{0, 0, 0};
    Vector4 up{0, 1, 0, 1};
    camera.LookAt(&centre, &up);
    if (device.d3dDevice != nullptr) camera.GetViewMatrix(&device.state.view);

    // A minimised window has no aspect ratio: the projection of the last frame stays.
    const std::int32_t height = g_clientHeight;
    if (height == 0) return;
    const float aspect = static_cast<float>(g_clientWidth) / static_cast<float>(height);
    const float depth = box.max.z - box.min.z;
    device.SetOrtho(0, 0, depth * aspect, depth, -depth, depth);
}
