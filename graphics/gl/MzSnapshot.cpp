// Offscreen snapshots of a model.
#include "MzSnapshot.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "MzGLWindow.h"
#include "MzGraphics.h"
#include "MzModel.h"
#include "MzRenderPass.h"

namespace {

// False when there is no display to connect to: Qt would end the process instead of failing.
bool EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return true;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return false;
    static int argc = 1;
    static char name[] = "mascot-snapshot";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return true;
}

// The largest distance of the model's box from the origin (1 for an empty box).
float Reach(const BoundingBox& b) {
    if (b.min.x > b.max.x) return 1;
    float r = 0;
    for (float v : {b.min.x, b.min.y, b.min.z, b.max.x, b.max.y, b.max.z})
        r = std::max(r, std::fabs(v));
    return r > 0 ? r : 1;
}

// World-space box of the model as placed (its bounds moved by the world matrix's translation).
BoundingBox PlacedBounds(const MzModel& model) {
    BoundingBox b = model.bounds;
    const auto& t = model.worldMatrix.m[3];
    b.min = Vector4{b.min.x + t[0], b.min.y + t[1], b.min.z + t[2], 1};
    b.max = Vector4{b.max.x + t[0], b.max.y + t[1], b.max.z + t[2], 1};
    return b;
}

void PlaceCamera(MzGrpDevice& device, const MzModel& model, const MzSnapshotOptions& options) {
    const BoundingBox b = PlacedBounds(model);
    const float aspect = static_cast<float>(options.width) / static_cast<float>(std::max(1, options.height));
    if (options.camera == MzSnapshotCamera::Flat2D) {
        // As the 2D camera does, in a world box centred on the origin that holds the model.
        const float half = Reach(b) * 1.1f;
        device.worldBox = BoundingBox{{-half, -half, -half, 1}, {half, half, half, 1}};
        device.flat2D = true;
        MzCamera camera;
        camera.SetPosition(0, 0, -half);
        Vector3 origin{0, 0, 0};
        Vector4 up{0, 1, 0, 1};
        camera.LookAt(&origin, &up);
        camera.GetViewMatrix(&device.state.view);
        const float depth = 2 * half;
        device.SetOrtho(0, 0, depth * aspect, depth, -depth, depth);
        return;
    }
    // Far enough along -z that a sphere around the box fits the 60° field of view.
    const bool empty = b.min.x > b.max.x;
    const Vector3 centre =
        empty ? Vector3{0, 0, 0}
              : Vector3{(b.min.x + b.max.x) / 2, (b.min.y + b.max.y) / 2, (b.min.z + b.max.z) / 2};
    const float radius = empty ? 1
                               : 0.5f * std::sqrt((b.max.x - b.min.x) * (b.max.x - b.min.x) +
                                                  (b.max.y - b.min.y) * (b.max.y - b.min.y) +
                                                  (b.max.z - b.min.z) * (b.max.z - b.min.z));
    const float fit = std::min(1.0f, aspect); // the narrower of the two fields of view
    const float distance = std::max(radius, 1e-3f) / std::sin(0.5236f * fit) * 1.05f;
    const Vector3 eye{centre.x, centre.y, centre.z - distance};
    D3DXMatrixLookAtLH(&device.state.view, eye, centre, Vector3{0, 1, 0});
    device.SetPerspective(1.0471976f, aspect, std::max(0.01f, distance - radius * 1.5f),
                          distance + radius * 2 + 1);
}

// The top-left width × height pixels of a surface as an opaque image.
QImage ToImage(const MzSurface& s, int32_t width, int32_t height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), s.Row(y), static_cast<size_t>(width) * 4);
    return image;
}

} // namespace

bool MzRenderSnapshot(MzModel& model, const MzSnapshotOptions& options, const std::string& colourPng,
                      const std::string& maskPng, MzSnapshotResult* result, std::string* error) {
    if (options.width <= 0 || options.height <= 0 || options.width > 8192 || options.height > 8192) {
        *error = "snapshot size out of range";
        return false;
    }
    if (!EnsureGuiApplication()) {
        *error = "no display (try xvfb-run)";
        return false;
    }
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create()) {
        *error = "no OpenGL 3.3 context (is there a display? try xvfb-run)";
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    MzGLWindow window(&context, &surface, options.width, options.height);
    auto graphics = std::make_unique<MzGraphics>();
    if (!graphics->Create(&window, 0, 0)) {
        *error = "the graphics device could not be created";
        return false;
    }
    MzRenderPassDepthMap maskPass;
    MzRenderPassNormal normalPass;
    if (!maskPass.maskTexture.Create(&graphics->device, options.width, options.height, 3, 0)) {
        *error = "the mask target could not be created";
        return false;
    }
    maskPass.target = &maskPass.maskTexture;
    normalPass.regionSource = &maskPass;
    const Matrix4x4 placement = model.worldMatrix;
    if (options.yaw != 0) {
        Matrix4x4 turn;
        D3DXMatrixRotationYawPitchRoll(&turn, options.yaw, 0, 0);
        D3DXMatrixMultiply(&model.worldMatrix, turn, placement);
    }
    PlaceCamera(graphics->device, model, options);

    // The process-wide lists hold only this scene while it is drawn.
    const MzDrawLists savedLists = MzGetDrawLists();
    const MzList<MzRenderPass*> savedPasses = MzRenderPassList();
    MzGetDrawLists() = MzDrawLists{};
    MzGetDrawLists().models.Add(&model);
    MzRenderPassList() = MzList<MzRenderPass*>{};
    MzRenderPassList().Add(&maskPass);
    MzRenderPassList().Add(&normalPass);
    graphics->Render();
    MzGetDrawLists() = savedLists;
    MzRenderPassList() = savedPasses;
    model.worldMatrix = placement;

    MzSurface colour;
    if (!graphics->d3dDevice->ReadBackBuffer(&colour) || maskPass.maskTexture.lockSurface == nullptr) {
        *error = "the frame could not be read back";
        return false;
    }
    if (result != nullptr && maskPass.region.handle != nullptr) {
        result->rectangles = maskPass.region.handle->rects.size();
        result->bounds = maskPass.region.handle->Bounds();
    }
    if (!ToImage(colour, options.width, options.height).save(QString::fromStdString(colourPng), "PNG") ||
        !ToImage(*maskPass.maskTexture.lockSurface, options.width, options.height)
             .save(QString::fromStdString(maskPng), "PNG")) {
        *error = "the PNG files could not be written";
        return false;
    }
    return true;
}
