#include "MzObject.h"

#include "MzGraphics.h"
#include "MzModel.h"

#include <algorithm>
#include <array>
#include <cfloat>

MzObjectManager* g_objectManager = nullptr;

namespace {

using Corners = std::array<Vector4, 8>;

// Corner k takes x from max for k = 1, 2, 5, 6, y from max for k = 2, 3, 6, 7, z from max for k >= 4.
Corners TransformedCorners(const Matrix4x4& transform, const BoundingBox& box) {
    Corners corners;
    for (int k = 0; k < 8; ++k) {
        const bool maxX = k == 1 || k == 2 || k == 5 || k == 6;
        const bool maxY = k == 2 || k == 3 || k == 6 || k == 7;
        const bool maxZ = k >= 4;
        const Vector4 corner{maxX ? box.max.x : box.min.x, maxY ? box.max.y : box.min.y,
                             maxZ ? box.max.z : box.min.z, 1};
        TransformCoord4(transform, &corners[k], corner);
    }
    return corners;
}

// Whether v lies between the two ends, in either order, ends included.
bool Between(float v, float a, float b) {
    return std::min(a, b) <= v && v <= std::max(a, b);
}

// The projected rectangle of the axis-aligned box around the corners contains (nx, ny).
bool ScreenBoxContains(const MzGrpDevice& device, const Corners& corners, float nx, float ny) {
    Vector4 lo = corners[0];
    Vector4 hi = corners[0];
    for (const Vector4& c : corners) {
        lo = {std::min(lo.x, c.x), std::min(lo.y, c.y), std::min(lo.z, c.z), 1};
        hi = {std::max(hi.x, c.x), std::max(hi.y, c.y), std::max(hi.z, c.z), 1};
    }
    Vector4 screenLo;
    Vector4 screenHi;
    device.Project(lo, &screenLo);
    device.Project(hi, &screenHi);
    return Between(nx, screenLo.x, screenHi.x) && Between(ny, screenLo.y, screenHi.y);
}

Vector4 Sub(const Vector4& a, const Vector4& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z, 0};
}

// Divides by the 3D length unless it is 0.
Vector4 Unit(Vector4 v) {
    const float length = Vec3Length(v);
    if (length != 0) v = {v.x / length, v.y / length, v.z / length, 0};
    return v;
}

constexpr int kFaces[6][4] = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 3, 7, 4},
                              {1, 5, 6, 2}, {0, 4, 5, 1}, {3, 2, 6, 7}};

// P lies inside the face when it is on the inner side of all four edges, looking at x and y only.
bool InsideFace(const Corners& corners, const int (&face)[4], const Vector4& p) {
    for (int j = 0; j < 4; ++j) {
        const Vector4& u = corners[face[j]];
        const Vector4& v = corners[face[(j + 1) % 4]];
        const Vector4 e = Unit(Sub(v, u));
        const Vector4 t = Unit(Sub(p, u));
        if (t.y * e.x - e.y * t.x < 0) return false;
    }
    return true;
}

// The projected depth of the point of the face's plane under (nx, ny), if that point is inside the face.
bool HitFace(const MzGrpDevice& device, const Corners& corners, const int (&face)[4], float nx, float ny,
             float best, float* depth) {
    const Vector4 e1 = Unit(Sub(corners[face[1]], corners[face[0]]));
    const Vector4 e2 = Unit(Sub(corners[face[2]], corners[face[1]]));
    const Vector3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    const Vector4& a = corners[face[0]];
    const float d = n.x * a.x + n.y * a.y + n.z * a.z;
    Vector4 p;
    device.UnprojectOnPlane(n, Vector4{nx, ny, 0, 1}, &p, d);
    Vector4 screen;
    device.Project(p, &screen);
    if (screen.z > best) return false;
    if (!InsideFace(corners, face, p)) return false;
    *depth = screen.z;
    return true;
}

} // namespace

void MzObject::Bind(MzModel* owner, std::int32_t ownerId) {
    model = owner;
    transform = &owner->worldMatrix;
    bounds = &owner->bounds;
    actorId = ownerId;
}

MzObjectManager::MzObjectManager() {
    if (g_objectManager == nullptr) g_objectManager = this;
}

MzObjectManager::~MzObjectManager() {
    if (g_objectManager == this) g_objectManager = nullptr;
}

void MzObjectManager::NewList() {
    m_objects = std::make_unique<MzList<MzObject*>>();
}

void MzObjectManager::DeleteList() {
    m_objects.reset();
}

void MzObjectManager::Add(MzObject* object) {
    if (m_objects) m_objects->Add(object);
}

void MzObjectManager::Remove(MzObject* object) {
    if (m_objects) m_objects->Remove(object);
}

bool MzObjectManager::Contains(const MzObject* object) const {
    if (!m_objects) return false;
    return std::find(m_objects->begin(), m_objects->end(), object) != m_objects->end();
}

MzObject* MzObjectManager::HitTest(float nx, float ny) const {
    if (!m_objects || m_objects->Empty() || g_graphics == nullptr) return nullptr;
    const MzGrpDevice& device = g_graphics->device;
    float best = FLT_MAX;
    MzObject* result = nullptr;
    for (MzObject* object : *m_objects) {
        if (object->transform == nullptr || object->bounds == nullptr) continue;
        const Corners corners = TransformedCorners(*object->transform, *object->bounds);
        if (!ScreenBoxContains(device, corners, nx, ny)) continue;
        if (result == nullptr) result = object;
        for (const auto& face : kFaces) {
            float depth = 0;
            if (!HitFace(device, corners, face, nx, ny, best, &depth)) continue;
            best = depth;
            result = object;
        }
    }
    return result;
}
