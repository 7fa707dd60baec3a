// Sampling and applying one motion per frame: 60 joints, 100 keys per curve.
#include <benchmark/benchmark.h>

#include <cmath>

#include "MzModel.h"
#include "MzMotion.h"

namespace {

constexpr int kJoints = 60;
constexpr int kKeys = 100;

void BM_MotionFrame(benchmark::State& state) {
    MzModel model;
    for (int i = 0; i < kJoints; ++i) {
        MzJoint* joint = model.CreateJoint();
        if (i > 0) joint->SetParent(model.joints[static_cast<size_t>(i - 1) / 2]);
    }
    MzMotionData data;
    data.AllocateCurves(model);
    for (int i = 0; i < kJoints; ++i) {
        for (int k = 0; k < kKeys; ++k) {
            float t = k / 30.0f, a = 0.1f * k + i;
            MzMotionKeyFrame* key = data.curves[i].AddKey(t);
            key->translation = {std::sin(a), 1, std::cos(a), 1};
            key->rotation = {0, std::sin(a / 2), 0, std::cos(a / 2)};
        }
        data.length = std::max(data.length, data.curves[i].endTime);
    }
    MzMotion motion;
    motion.Bind(model);
    motion.Start(&data);
    for (auto _ : state) {
        motion.Update(16);
        motion.Apply(model);
        benchmark::DoNotOptimize(model.worldMatrix);
    }
}
BENCHMARK(BM_MotionFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
