// Micro-benchmarks: gain stage throughput in samples per second on decoder-sized
// blocks, and the tempo estimation over the histogram set of a 3-minute track.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "tempo/AnalysisState.h"
#include "tempo/GainStage.h"
#include "tempo/HistogramSet.h"
#include "tempo/TempoEstimation.h"

namespace tempo {
namespace {

uint32_t NextRandom(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed >> 8;
}

void BM_GainStage(benchmark::State& run) {
  const auto lengthBytes = static_cast<uint32_t>(run.range(0));
  AnalysisState state;
  state.AllocateGainCurve();
  BuildGainCurve(state, 100, 0.05f, 90);
  state.SetActiveFlag(1);
  std::vector<uint8_t> source(lengthBytes);
  uint32_t seed = 1;
  for (auto& byte : source) {
    byte = static_cast<uint8_t>(NextRandom(seed));
  }
  std::vector<uint8_t> block(lengthBytes);
  // The stage works in place, so each round restores the block first; the copy costs
  // a few nanoseconds against microseconds of smoothing.
  for (auto _ : run) {
    block = source;
    RunGainStage(state, block.data(), lengthBytes);
    benchmark::DoNotOptimize(block.data());
  }
  run.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(lengthBytes / 2), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_GainStage)->Arg(441)->Arg(4096)->Arg(65536);

void BM_EstimateTempo3Minutes(benchmark::State& run) {
  constexpr int32_t kThreeMinutesH = 30150;
  HistogramSet set(kThreeMinutesH);
  uint32_t seed = 7;
  for (int32_t levelClass = 0; levelClass < HistogramSet::kClassCount; ++levelClass) {
    for (int32_t bin = 0; bin <= kThreeMinutesH; ++bin) {
      set.SetCount(levelClass, bin, static_cast<int32_t>(NextRandom(seed) % 40));
    }
  }
  for (auto _ : run) {
    benchmark::DoNotOptimize(EstimateTempo(set, kThreeMinutesH));
  }
}
BENCHMARK(BM_EstimateTempo3Minutes);

}  // namespace
}  // namespace tempo

BENCHMARK_MAIN();
