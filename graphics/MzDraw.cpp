// Drawing models and prims.
#include "MzDraw.h"

#include <algorithm>

#include "MzGraphics.h"
#include "MzModel.h"
#include "MzPrim.h"
#include "MzVertexFormat.h"

namespace {

void ApplyFillMode(MzGrpDevice* device, int32_t mode) {
    MzDeviceState& s = device->state;
    switch (mode) {
    case 1:
        s.shadeMode = MzShadeMode::Flat;
        s.fillMode = MzFillMode::Wireframe;
        break;
    case 2:
        s.shadeMode = MzShadeMode::Flat;
        s.fillMode = MzFillMode::Solid;
        break;
    case 0:
    case 3:
        s.shadeMode = MzShadeMode::Gouraud;
        s.fillMode = MzFillMode::Solid;
        break;
    default:
        break;
    }
}

Vector4 Rgb(const Vector4& c, float alpha) {
    return Vector4{c.x, c.y, c.z, alpha};
}

Vector3 Normalized(Vector3 v) {
    Vector4 n{v.x, v.y, v.z, 1};
    Vec3Normalize(&n);
    return Vector3{n.x, n.y, n.z};
}

} // namespace

Matrix4x4 MzPlacedMatrix(const MzGrpDevice& device, Matrix4x4 m) {
    if (!device.flat2D) return m;
    Vector4 t{m.m[3][0], m.m[3][1], m.m[3][2], 1};
    FoldFlat2D(&t, device);
    m.m[3][0] = t.x;
    m.m[3][1] = t.y;
    m.m[3][2] = t.z;
    return m;
}

size_t MzModelPalette(const MzGrpDevice& device, const MzModel& model, Matrix4x4* palette) {
    const Matrix4x4 world = MzPlacedMatrix(device, model.worldMatrix);
    // Byte blend indices address at most the 256 palette slots.
    const size_t count = std::min<size_t>(model.joints.Count(), kPaletteSize);
    for (size_t i = 0; i < count; ++i) {
        Matrix4x4 skin;
        model.joints[i]->GetSkinMatrix(&skin);
        D3DXMatrixMultiply(&palette[i], skin, world);
    }
    return count;
}

void DrawModelList(MzGrpDevice* device, const MzList<MzModel*>& models) {
    for (MzModel* model : models) {
        SetModelMatrices(device, *model);
        for (MzPrim* prim : model->prims)
            DrawPrim(device, *prim);
    }
}

void DrawPrimList(MzGrpDevice* device, const MzList<MzPrim*>& prims) {
    for (MzPrim* prim : prims)
        DrawPrim(device, *prim);
}

void SetModelMatrices(MzGrpDevice* device, const MzModel& model) {
    if (model.joints.Empty()) {
        device->state.worldMatrices[0] = MzPlacedMatrix(*device, model.worldMatrix);
        return;
    }
    MzModelPalette(*device, model, device->state.worldMatrices);
}

void ApplyPrimStates(MzGrpDevice* device, const MzPrim& prim) {
    MzDeviceState& s = device->state;
    const MzRenderState& rs = prim.renderState;
    ApplyFillMode(device, device->fillModeOverride != 0 ? device->fillModeOverride : rs.fillMode);
    s.specularEnable = rs.specularEnable && device->specularEnable;
    s.lighting = rs.lightingEnable && device->lightingEnable;
    s.cullMode = rs.twoSided ? MzCullMode::None : MzCullMode::CounterClockwise;
    const bool colorVertex = prim.vertexBuffer.formatId == 6;
    s.colorVertex = colorVertex;
    s.diffuseSource = colorVertex ? MzMaterialSource::Color1 : MzMaterialSource::Material;

    const MzMaterial& m = prim.material;
    s.material.diffuse = Rgb(m.diffuse, 1 - m.transparency);
    s.material.ambient = Rgb(m.ambient, 0);
    s.material.specular = Rgb(m.specular, 1);
    s.material.emissive = Rgb(m.emissive, 0);
    s.material.power = m.power;

    for (int stage = 0; stage < kPrimTextureSlots; ++stage)
        s.textures[stage] = device->textureEnable ? prim.textures[stage] : nullptr;
    if (device->lightingEnable && rs.lightingEnable) SetupLights(device);
    if (!(prim.flags & kPrimInModel)) s.worldMatrices[0] = MzPlacedMatrix(*device, prim.worldMatrix);
    s.vertexFormat = prim.vertexBuffer.formatId;
}

void SetupLights(MzGrpDevice* device) {
    MzDeviceState& s = device->state;
    // cos 67.5° = sin 22.5°: light 0 comes from the front left below, light 1 from the front right above.
    const Vector3 directions[2] = {Normalized({0.38268343f, 0.38268343f, 0.92387953f}),
                                   Normalized({-0.38268343f, -0.38268343f, 0.92387953f})};
    for (int i = 0; i < 2; ++i) {
        MzLightState& light = s.lights[i];
        light.enabled = true;
        light.diffuse = Vector4{1, 1, 1, 0};
        light.specular = Vector4{1, 1, 1, 0};
        light.ambient = Vector4{0, 0, 0, 0};
        light.direction = directions[i];
    }
    s.lighting = true;
}

void DrawPrim(MzGrpDevice* device, const MzPrim& prim) {
    if (device->d3dDevice == nullptr) return;
    ApplyPrimStates(device, prim);
    if (prim.topology == kTopologyNone || prim.vertexBuffer.data.empty() || prim.indexBuffer.data.empty())
        return;
    device->d3dDevice->DrawPrim(device->state, prim);
}
