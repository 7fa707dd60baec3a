// Key-framed motions of a skinned model and their playback with root motion.
//
// A curve per joint holds keys (local translation, absolute rotation) in ascending time order.
// Each frame MzMotion advances its clock, wraps it by the motion's length, samples every curve
// (each wrapped by its own end time), writes the joints' current poses and moves the model by the
// root joint's displacement, so that a walk carries the character the way it faces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MzList.h"
#include "MzMath.h"

class MzModel;

struct MzMotionKeyFrame {
    float time = 0;
    Vector4 translation = kVec4Origin;
    Quaternion rotation;
};

class MzMotionCurve {
  public:
    float endTime = 0;
    // Ascending time, no two keys at the same time; the curve owns them.
    MzList<MzMotionKeyFrame*> keys;

    MzMotionCurve() = default;
    MzMotionCurve(const MzMotionCurve&) = delete;
    MzMotionCurve& operator=(const MzMotionCurve&) = delete;
    virtual ~MzMotionCurve();

    // The key at exactly `time`, created in order when there is none.
    MzMotionKeyFrame* AddKey(float time);
    Vector4 SampleTranslation(float time) const;
    Quaternion SampleRotation(float time) const;
    // Both at once, finding the keys a single time.
    void Sample(float time, Vector4* translation, Quaternion* rotation) const;
};

class MzMotionData {
  public:
    std::string name;
    // Curve i animates joint i of the model.
    std::unique_ptr<MzMotionCurve[]> curves;
    uint32_t curveCount = 0;
    // The largest key time over all curves, in seconds.
    float length = 0;

    virtual ~MzMotionData() = default;

    // One empty curve per joint of the model; existing curves are destroyed.
    void AllocateCurves(const MzModel& model);
};

class MzMotion {
  public:
    uint32_t jointCount = 0;
    float time = 0;
    // The motion playing, not owned; null for none.
    const MzMotionData* data = nullptr;
    std::vector<Vector4> translations;
    std::vector<Quaternion> rotations;
    Vector4 lastRootTranslation = kVec4Origin;
    Vector4 rootDelta = kVec4Origin;

    virtual ~MzMotion() = default;

    void Bind(const MzModel& model);
    void Start(const MzMotionData* motion);
    void Update(uint32_t elapsedMs);
    void Apply(MzModel& model) const;
};
