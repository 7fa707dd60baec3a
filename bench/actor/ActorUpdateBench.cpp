// One MzActorManager::Update over 100 actors, each stepping a script state whose Loop does a little
// arithmetic.
#include "MzActorManager.h"
#include "MzSquirrel.h"
#include "MzSquirrelFSMState.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kActors = 100;

constexpr const char* kScript = R"(
class Walker {
    x = 0.0; v = 1.5; n = 0;
    function Loop(mascot) {
        x += v * 0.016;
        if (x > 100.0 || x < 0.0) v = -v;
        n = (n * 7 + 3) % 1001;
        return n > 500;
    }
}
states <- [];
for (local i = 0; i < 100; i++) states.append(Walker());
)";

class ScriptedActor : public MzActor {
  public:
    explicit ScriptedActor(const HSQOBJECT& stateObject) {
        state.stateObject = MzSquirrelValue(stateObject);
        state.ownerInstance = state.stateObject;
        machine.ChangeState(&state);
    }
    void Update() override { machine.Loop(); }

  private:
    MzFSMManager<ScriptedActor*> machine{this};
    MzSquirrelFSMState<ScriptedActor*> state;
};

bool RunSource(HSQUIRRELVM vm, const char* source) {
    if (SQ_FAILED(sq_compilebuffer(vm, source, static_cast<SQInteger>(std::strlen(source)), "bench", SQTrue)))
        return false;
    sq_pushroottable(vm);
    bool ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
    sq_pop(vm, 1);
    return ok;
}

void BM_ActorManagerUpdate(benchmark::State& state) {
    MzSquirrel::Initialize();
    HSQUIRRELVM vm = MzSquirrel::GetVM();
    if (!RunSource(vm, kScript)) {
        state.SkipWithError("script failed");
        MzSquirrel::Shutdown();
        return;
    }
    {
        MzActorManager manager;
        sq_pushroottable(vm);
        sq_pushstring(vm, "states", -1);
        sq_get(vm, -2);
        for (int i = 0; i < kActors; ++i) {
            sq_pushinteger(vm, i);
            sq_get(vm, -2);
            HSQOBJECT object;
            sq_getstackobj(vm, -1, &object);
            manager.Register(new ScriptedActor(object), 60, 128, false);
            sq_poptop(vm);
        }
        sq_pop(vm, 2);
        manager.Update(16);
        for (auto _ : state)
            manager.Update(16);
        state.counters["actors"] = kActors;
        if (!RunSource(vm, "if (states[0].n == 0) throw \"the states were not stepped\";"))
            state.SkipWithError("the states were not stepped");
    }
    MzSquirrel::Shutdown();
}
BENCHMARK(BM_ActorManagerUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
