// Import speed: parse, triangulate, skin and fill the vertex buffers of the three largest corpus
// documents and of a generated character (100 000 triangles, 60 joints, 4 influences a vertex,
// a 2-second motion on every joint), and the motion import of that character.
//
//   mz_collada_bench [benchmark flags]           runs the benchmarks
//   mz_collada_bench --write-generated FILE      writes the generated character (for peer tools)
#include "GeneratedCharacter.h"
#include "MzColladaReader.h"
#include "MzModel.h"
#include "MzMotion.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::string GeneratedPath() {
    static const std::string path = [] {
        auto p = std::filesystem::temp_directory_path() / "mz_collada_bench_character.dae";
        std::ofstream(p, std::ios::binary) << GeneratedCharacter(100000, 60, 2.0f);
        return p.string();
    }();
    return path;
}

void ImportModel(benchmark::State& state, const std::string& path) {
    if (!std::filesystem::exists(path)) return state.SkipWithError(("missing " + path).c_str());
    for (auto _ : state) {
        MzModel model;
        MzColladaReader::ReadModel(path, model, 1.0f);
        benchmark::DoNotOptimize(model.prims.Count());
    }
}

void ImportMotion(benchmark::State& state, const std::string& path) {
    MzModel model;
    MzColladaReader::ReadModel(path, model, 1.0f);
    for (auto _ : state) {
        MzMotionData data;
        MzColladaReader::ReadMotion(path, data, model, 1.0f);
        benchmark::DoNotOptimize(data.length);
    }
}

const std::string kCorpus = MZ_COLLADA_CORPUS;

} // namespace

BENCHMARK_CAPTURE(ImportModel, voyager, kCorpus + "/voyager_large/voyager.dae")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ImportModel, astroboy, kCorpus + "/astroboy_walk/astroBoy_walk.dae")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ImportModel, cesium_man, kCorpus + "/cesium_man/CesiumMan.dae")
    ->Unit(benchmark::kMillisecond);

static void ImportGeneratedModel(benchmark::State& state) {
    ImportModel(state, GeneratedPath());
}
static void ImportGeneratedMotion(benchmark::State& state) {
    ImportMotion(state, GeneratedPath());
}
BENCHMARK(ImportGeneratedModel)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportGeneratedMotion)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-generated") == 0) {
        std::ofstream(argv[2], std::ios::binary) << GeneratedCharacter(100000, 60, 2.0f);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
