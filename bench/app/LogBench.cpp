// MzLog throughput: two threads log while a third flushes into a view, as the dialog thread does.
#include "MzLog.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

constexpr const char* kOverflow = "Log message buffer over. [LOG MESSAGE LOST]\r\n";

// Counts what arrives and keeps nothing, so the reader costs what the ring and the trimming cost.
class CountingView : public MzScriptLogView {
  public:
    void SetEnabled(bool) override {}
    void RemoveLeadingLines(std::size_t) override {}
    void Append(std::string_view text) override {
        if (text == kOverflow) {
            ++markers;
        } else {
            ++entries;
        }
    }
    void ScrollToEnd() override {}
    long entries = 0;
    long markers = 0;
};

void BM_LogTwoWritersOneReader(benchmark::State& state) {
    const int perWriter = static_cast<int>(state.range(0));
    CountingView view;
    MzSetScriptLogView(&view);
    long logged = 0;
    for (auto _ : state) {
        std::atomic<int> done{0};
        auto writer = [&] {
            for (int i = 0; i < perWriter; ++i)
                MzLog("entry %d of a script that prints a lot\n", i);
            ++done;
        };
        std::thread reader([&] {
            while (done.load() < 2)
                MzFlushScriptLog();
            MzFlushScriptLog();
        });
        std::thread a(writer), b(writer);
        a.join();
        b.join();
        reader.join();
        logged += 2L * perWriter;
    }
    MzSetScriptLogView(nullptr);
    state.counters["logged/s"] = benchmark::Counter(static_cast<double>(logged), benchmark::Counter::kIsRate);
    state.counters["delivered/s"] =
        benchmark::Counter(static_cast<double>(view.entries), benchmark::Counter::kIsRate);
    state.counters["delivered %"] = 100.0 * static_cast<double>(view.entries) / static_cast<double>(logged);
    state.counters["loss markers"] = static_cast<double>(view.markers);
}
BENCHMARK(BM_LogTwoWritersOneReader)->Arg(20000)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
