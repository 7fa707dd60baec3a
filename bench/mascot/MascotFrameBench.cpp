// One frame of actor updates for 50 mascots, each with a loop callback and a script state: turn,
// transform, world-box clamp, motion, the two script calls. Nothing is drawn.
#include <benchmark/benchmark.h>

#include "MzActorManager.h"
#include "MzGraphics.h"
#include "MzNullBackend.h"
#include "MzObject.h"
#include "MzSquirrel.h"
#include "ScriptAPI.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kMascots = 50;

class HeadlessWindow : public MzGraphicsWindow {
  public:
    void GetClientSize(int32_t* w, int32_t* h) const override {
        *w = 800;
        *h = 600;
    }
    std::unique_ptr<MzRenderBackend> CreateBackend(int32_t w, int32_t h, uint32_t*) override {
        return std::make_unique<MzNullBackend>(w, h);
    }
};

std::string StartupScript() {
    const std::string data = MZ_MASCOT_DATA;
    return "class Wander {\n"
           "  frames = 0\n"
           "  function Start(m) { m.SetMotion(\"walk\") }\n"
           "  function Loop(m) {\n"
           "    if (++frames % 60 == 0) m.SetDir(m.GetDir() + 0.5, 500)\n"
           "    return true\n"
           "  }\n"
           "  function End(m) {}\n"
           "}\n"
           "function OnLoop(m) { if (m.GetPosX() > 9.0) m.SetPos(-9.0, m.GetPosY(), m.GetPosZ()) }\n"
           "for (local i = 0; i < " +
           std::to_string(kMascots) +
           "; ++i) {\n"
           "  local m = cpp_Mascot({model = \"" +
           data + "/box.dae\", scale = 1.0, motion_list = {walk = \"" + data + "/walk.dae\", sit = \"" +
           data +
           "/sit.dae\"}})\n"
           "  m.SetPos(-9.0 + i * 0.36, 0.0, 0.0)\n"
           "  m.SetCallback_Loop(this, OnLoop)\n"
           "  m.ChangeState(Wander())\n"
           "}\n";
}

void BM_MascotFrame(benchmark::State& state) {
    const std::filesystem::path script = std::filesystem::temp_directory_path() / "mz_mascot_bench.nut";
    std::ofstream(script) << StartupScript();

    MzSquirrel::Initialize();
    {
        HeadlessWindow window;
        MzGraphics graphics;
        graphics.Create(&window, 0, 0);
        graphics.device.worldBox = BoundingBox{{-10, -5, -20, 1}, {10, 5, 20, 1}};
        MzActorManager actors;
        MzObjectManager objects;
        objects.NewList();
        RegisterScriptAPI(nullptr);
        if (!MzSquirrel::RunScript(script.string(), true)) state.SkipWithError("start-up script failed");
        actors.Update(16); // places the mascots
        for (auto _ : state)
            actors.Update(16);
        actors.KillAll();
    }
    MzSquirrel::Shutdown();
    std::filesystem::remove(script);
}
BENCHMARK(BM_MascotFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
