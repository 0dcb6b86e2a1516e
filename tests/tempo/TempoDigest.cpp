// Runs a fixed, generated set of histogram sets and gain-stage blocks through the
// tempo code and prints every result, so that the outputs of two builds (native and
// Windows) can be compared line by line.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tempo/AnalysisState.h"
#include "tempo/GainStage.h"
#include "tempo/HistogramSet.h"
#include "tempo/TempoEstimation.h"

namespace tempo {
namespace {

// splitmix64: fully specified, so both builds generate the same inputs (the standard
// library's distributions are not).
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int32_t Between(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(Next() % static_cast<uint64_t>(high - low + 1));
  }

 private:
  uint64_t state_;
};

uint64_t Fnv1a(const void* data, size_t size, uint64_t hash = 0xCBF29CE484222325ull) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash = (hash ^ bytes[i]) * 0x100000001B3ull;
  }
  return hash;
}

uint32_t FloatBits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

uint64_t CurveDigest(const AnalysisState& state) {
  uint64_t hash = Fnv1a(nullptr, 0);
  for (int32_t row = 0; row < AnalysisState::kCurveRows; ++row) {
    const float values[2] = {state.Threshold(row), state.Gain(row)};
    hash = Fnv1a(values, sizeof values, hash);
  }
  return hash;
}

void RunHistogramSets() {
  Generator random(20240611);
  for (int32_t setIndex = 0; setIndex < 400; ++setIndex) {
    const int32_t histogramSize = random.Between(0, 7) == 0 ? random.Between(200, 1300) : random.Between(1300, 40000);
    HistogramSet set(histogramSize);
    // Small counts make ties common; beats and their doubles make pairs common.
    const int32_t beatMs = random.Between(305, 640);
    for (int32_t levelClass = 0; levelClass < HistogramSet::kClassCount; ++levelClass) {
      const int32_t entries = random.Between(0, 4);
      for (int32_t e = 0; e < entries; ++e) {
        int32_t periodMs = random.Between(290, 1215);
        switch (random.Between(0, 3)) {
          case 0:
            periodMs = beatMs + random.Between(-3, 3);
            break;
          case 1:
            periodMs = 2 * beatMs + random.Between(-60, 60);
            break;
          case 2:
            periodMs = 325 + 23 * random.Between(0, 4);
            break;
          default:
            break;
        }
        if (periodMs >= 0 && periodMs <= histogramSize) {
          set.SetCount(levelClass, periodMs, set.Count(levelClass, periodMs) + random.Between(0, 14));
        }
      }
    }
    const TempoPeriods periods = EstimateTempo(set, histogramSize);
    std::printf("tempo %d H=%d %d|%d\n", setIndex, histogramSize, periods.primaryMs, periods.alternativeMs);
  }
}

int16_t MakeSample(Generator& random, int32_t kind, int32_t index, int32_t amplitude) {
  switch (kind) {
    case 0:
      return static_cast<int16_t>(random.Between(-amplitude, amplitude));
    case 1: {  // triangle wave
      const int32_t phase = index % 100;
      const int32_t ramp = phase < 50 ? phase : 100 - phase;
      return static_cast<int16_t>(amplitude * (ramp - 25) / 25);
    }
    case 2:
      return static_cast<int16_t>(index % 24 == 23 ? 0 : random.Between(-amplitude, amplitude));
    default:
      return static_cast<int16_t>(index % 2 == 0 ? amplitude : -amplitude - 1);
  }
}

void RunGainBlocks() {
  Generator random(777);
  const float slopes[] = {0.05f, 3.0f, 40.0f, 250.0f, 2000.0f};
  for (const float slope : slopes) {
    AnalysisState state;
    state.AllocateGainCurve();
    BuildGainCurve(state, 100, slope, 90);
    state.SetActiveFlag(1);
    for (int32_t blockIndex = 0; blockIndex < 120; ++blockIndex) {
      const int32_t lengthBytes = random.Between(0, 9) == 0 ? random.Between(0, 9) : random.Between(400, 4411);
      const int32_t amplitudes[] = {1, 2, 3, 40, 3000, 20000, 32767};
      const int32_t amplitude = amplitudes[random.Between(0, 6)];
      const int32_t kind = random.Between(0, 3);
      std::vector<uint8_t> bytes(static_cast<size_t>(lengthBytes));
      for (int32_t i = 0; i + 1 < lengthBytes; i += 2) {
        const auto bits = static_cast<uint16_t>(MakeSample(random, kind, i / 2, amplitude));
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(bits & 0xFF);
        bytes[static_cast<size_t>(i) + 1] = static_cast<uint8_t>(bits >> 8);
      }
      // Quiet tails push the slope up, so both slope steps are exercised.
      if (lengthBytes >= 8 && random.Between(0, 3) == 0) {
        bytes[static_cast<size_t>(lengthBytes & ~1) - 2] = 3;
        bytes[static_cast<size_t>(lengthBytes & ~1) - 1] = 0;
      }
      if ((lengthBytes & 1) != 0) {
        bytes.back() = 0x5A;
      }
      RunGainStage(state, bytes.data(), static_cast<uint32_t>(lengthBytes));
      std::printf("gain %08" PRIx32 " %d len=%d out=%016" PRIx64 " slope=%08" PRIx32 " curve=%016" PRIx64 "\n",
                  FloatBits(slope), blockIndex, lengthBytes, Fnv1a(bytes.data(), bytes.size()),
                  FloatBits(state.CurveSlope()), CurveDigest(state));
    }
  }
}

}  // namespace
}  // namespace tempo

int main() {
  tempo::RunHistogramSets();
  tempo::RunGainBlocks();
  return 0;
}
