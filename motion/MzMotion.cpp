// Motion data and playback.
#include "MzMotion.h"

#include <algorithm>
#include <cmath>

#include "MzModel.h"

namespace {

// t − e × trunc(t / e); an empty period leaves the time unwrapped.
float WrapTime(float t, float e) {
    if (e == 0.0f) return t;
    return static_cast<float>(t - e * std::trunc(t / e));
}

} // namespace

MzMotionCurve::~MzMotionCurve() {
    for (MzMotionKeyFrame* key : keys)
        delete key;
    keys.Clear();
    endTime = 0;
}

MzMotionKeyFrame* MzMotionCurve::AddKey(float time) {
    // Bisection finds the same place a scan from the first key would, without making imports quadratic.
    auto later = std::lower_bound(keys.begin(), keys.end(), time,
                                  [](const MzMotionKeyFrame* k, float t) { return k->time < t; });
    if (later != keys.end() && (*later)->time == time) return *later;
    auto* key = new MzMotionKeyFrame;
    key->time = time;
    keys.Insert(static_cast<size_t>(later - keys.begin()), key);
    if (time > endTime) endTime = time;
    return key;
}

void MzMotionCurve::Sample(float time, Vector4* translation, Quaternion* rotation) const {
    if (keys.Empty()) {
        *translation = kVec4Origin;
        *rotation = Quaternion{};
        return;
    }
    float w = WrapTime(time, endTime);
    // k: the first key at or after w (the last key when none is); p: the key before it.
    auto it = std::lower_bound(keys.begin(), keys.end(), w,
                               [](const MzMotionKeyFrame* key, float t) { return key->time < t; });
    if (it == keys.end()) --it;
    const MzMotionKeyFrame* k = *it;
    const MzMotionKeyFrame* p = it == keys.begin() || (*it)->time < w ? k : *(it - 1);
    float s = p == k ? 1.0f : (w - p->time) / (k->time - p->time);

    float a = 1.0f - s;
    *translation = {p->translation.x * a + k->translation.x * s, p->translation.y * a + k->translation.y * s,
                    p->translation.z * a + k->translation.z * s, 1.0f};
    D3DXQuaternionSlerp(rotation, p->rotation, k->rotation, s);
}

Vector4 MzMotionCurve::SampleTranslation(float time) const {
    Vector4 t;
    Quaternion r;
    Sample(time, &t, &r);
    return t;
}

Quaternion MzMotionCurve::SampleRotation(float time) const {
    Vector4 t;
    Quaternion r;
    Sample(time, &t, &r);
    return r;
}

void MzMotionData::AllocateCurves(const MzModel& model) {
    length = 0;
    curveCount = static_cast<uint32_t>(model.joints.Count());
    curves = std::make_unique<MzMotionCurve[]>(curveCount);
}

void MzMotion::Bind(const MzModel& model) {
    time = 0;
    data = nullptr;
    jointCount = static_cast<uint32_t>(model.joints.Count());
    translations.assign(jointCount, kVec4Origin);
    rotations.assign(jointCount, Quaternion{0, 0, 0, 1});
}

void MzMotion::Start(const MzMotionData* motion) {
    data = motion;
    time = 0;
    lastRootTranslation = kVec4Origin;
    rootDelta = kVec4Origin;
}

void MzMotion::Update(uint32_t elapsedMs) {
    if (!data) return;
    float t = static_cast<float>(time + elapsedMs / 1000.0);
    t = WrapTime(t, data->length);
    for (uint32_t i = 0; i < jointCount; ++i) {
        Vector4 tr = kVec4Origin;
        Quaternion rot;
        if (i < data->curveCount) data->curves[i].Sample(t, &tr, &rot);
        rotations[i] = rot;
        if (i != 0) {
            translations[i] = tr;
            continue;
        }
        // The root's movement leaves the pose and becomes the model's displacement. When the clock
        // wrapped, the distance of one whole cycle (the last key) keeps the delta continuous.
        Vector4 raw = tr;
        const MzMotionCurve* root = data->curveCount > 0 ? &data->curves[0] : nullptr;
        if (t < time && root && !root->keys.Empty()) {
            const Vector4& last = root->keys.Last()->translation;
            tr.x += last.x;
            tr.y += last.y;
            tr.z += last.z;
        }
        rootDelta = {tr.x - lastRootTranslation.x, tr.y - lastRootTranslation.y, tr.z - lastRootTranslation.z,
                     1};
        lastRootTranslation = raw;
        translations[0] = kVec4Origin;
    }
    time = t;
}

void MzMotion::Apply(MzModel& model) const {
    if (!data) return;
    for (uint32_t i = 0; i < jointCount && i < model.joints.Count(); ++i) {
        MzJoint* joint = model.joints[i];
        if (i >= data->curveCount || data->curves[i].keys.Empty()) {
            Matrix4x4 bind;
            joint->GetMatrix(&bind, false);
            joint->SetOffsetMatrix(bind);
            continue;
        }
        // Absolute rotation, placed where the parent's current pose puts the local offset.
        Matrix4x4 pose;
        D3DXMatrixRotationQuaternion(&pose, rotations[i]);
        Vector4 at = translations[i];
        if (joint->parent) {
            Matrix4x4 parentPose;
            joint->parent->GetOffsetMatrix(&parentPose);
            TransformCoord4(parentPose, &at, at);
        }
        pose.m[3][0] = at.x;
        pose.m[3][1] = at.y;
        pose.m[3][2] = at.z;
        pose.m[3][3] = at.w;
        joint->SetOffsetMatrix(pose);
    }
    Vector4 v;
    TransformNormal4(model.worldMatrix, &v, rootDelta);
    model.worldMatrix.m[3][0] += v.x;
    model.worldMatrix.m[3][1] += v.y;
    model.worldMatrix.m[3][2] += v.z;
}
