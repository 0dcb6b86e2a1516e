// The adaptive gain stage and its gain curve. Named values are stored as floats at
// every step; unnamed intermediates are worked in double, so results do not depend on
// how a compiler keeps temporaries.
#include "tempo/GainStage.h"

#include <cstdlib>

#include "tempo/FloatRounding.h"

namespace tempo {

namespace {

constexpr int32_t kCurveSize = 100;
constexpr float kStartupSlope = 0.05f;
constexpr int32_t kStartupPeakRow = 90;
constexpr int32_t kAdaptedPeakRow = 80;
constexpr double kSlopeStep = 0.001;
constexpr float kFirstRowGain = 0.99f;
constexpr double kGainStepPerSlope = 1.3;
constexpr float kFullScale = 32767.0f;
constexpr int32_t kLookupEverySamples = 24;
constexpr int32_t kSampleMax = 32767;
constexpr int32_t kSampleMin = -32768;

// A block that overshoots by more than a row's limit pulls the gain (single-precision
// factor) and the smoothed level (double-precision factor) down once per block.
struct ClipRow {
  float limit;
  float gainFactor;
  double levelFactor;
};

constexpr ClipRow kClipTable[] = {
    {1.5f, 0.94f, 0.94}, {1.4f, 0.945f, 0.945}, {1.3f, 0.74f, 0.74}, {1.25f, 0.9f, 0.84}, {1.1f, 0.94f, 0.9},
};

constexpr double kClipLevelFactor = 0.9;
constexpr float kClipGainFactor = 0.9f;

// One pass for each of 1, 11, 21, ... up to the curve size, and one more.
int32_t SmoothingPasses(int32_t curveSize) {
  int32_t passes = 1;
  for (int32_t value = 1; value <= curveSize; value += 10) {
    ++passes;
  }
  return passes;
}

// Interpolates the gain of the highest row whose threshold lies above the level; rows
// run from the quietest threshold (row size) up to full scale (row 1).
float LookUpGain(const AnalysisState& state, float level, float gain) {
  for (int32_t row = state.CurveSize(); row >= 0; --row) {
    const float threshold = state.Threshold(row);
    if (threshold > level) {
      const float ratio = static_cast<float>(static_cast<double>(level) / threshold);
      const float difference = static_cast<float>(static_cast<double>(state.Gain(row + 1)) - state.Gain(row));
      return static_cast<float>(state.Gain(row) + static_cast<double>(difference) * ratio);
    }
  }
  return gain;
}

int32_t ReadSample(const uint8_t* at) {
  return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

void WriteSample(uint8_t* at, int32_t sample) {
  const auto bits = static_cast<uint16_t>(static_cast<int16_t>(sample));
  at[0] = static_cast<uint8_t>(bits & 0xFF);
  at[1] = static_cast<uint8_t>(bits >> 8);
}

void MoveSlope(AnalysisState& state, double step) {
  const float slope = static_cast<float>(state.CurveSlope() + step);
  BuildGainCurve(state, kCurveSize, slope, kAdaptedPeakRow);
}

}  // namespace

int32_t BuildGainCurve(AnalysisState& state, int32_t size, float slope, int32_t peakRow) {
  // Rows 1 to size + 1 are written; the table ends at row 200.
  if (!state.HasGainCurve() || size < 1 || size > AnalysisState::kCurveRows - 2) {
    return 0;
  }
  state.curveSize_ = size;
  state.curveSlope_ = slope;
  for (int32_t row = 1; row < size; ++row) {
    state.SetThreshold(row, static_cast<float>(static_cast<double>(kFullScale) / row));
  }
  state.SetThreshold(size, 1.0f);
  const double step = kGainStepPerSlope * slope;
  float gain = kFirstRowGain;
  for (int32_t row = 1; row <= size + 1; ++row) {
    if (row > peakRow) {
      gain = static_cast<float>(gain - step);
    } else if (row > 1) {
      gain = static_cast<float>(gain + step);
    }
    state.SetGain(row, gain);
  }
  return 1;
}

int32_t InitGainCurve(AnalysisState& state) {
  if (!state.AllocateGainCurve()) {
    return 0;
  }
  return BuildGainCurve(state, kCurveSize, kStartupSlope, kStartupPeakRow);
}

int32_t InitGainCurve() {
  return InitGainCurve(TheAnalysisState());
}

void RunGainStage(AnalysisState& state, void* buffer, uint32_t lengthBytes) {
  if (state.ActiveFlag() != 1 || buffer == nullptr || !state.HasGainCurve()) {
    return;
  }
  auto* bytes = static_cast<uint8_t*>(buffer);
  const int32_t smoothingPasses = SmoothingPasses(state.CurveSize());
  // The level measure divides by the block's sample count taken as length / 2.
  const double halfLength = lengthBytes / 2.0;

  float gain = 1.0f;
  int32_t sampleCounter = 0;
  int32_t smoothedLevel = 0;
  float levelMeasure = 0.0f;
  bool clipFlag = false;
  int32_t reductionCount = 0;

  for (uint32_t offset = 0; lengthBytes - offset >= 2; offset += 2) {
    const int32_t sample = ReadSample(bytes + offset);
    const float level = static_cast<float>(std::abs(sample));

    if (++sampleCounter == kLookupEverySamples) {
      gain = LookUpGain(state, level, gain);
      sampleCounter = 0;
    }
    // Halving toward the integer smoothed level: from a fresh block (level 0) the gain
    // shrinks by 2^11, which is what keeps the stage from pumping.
    for (int32_t pass = 0; pass < smoothingPasses; ++pass) {
      gain = static_cast<float>((static_cast<double>(gain) + smoothedLevel) / 2.0);
    }
    smoothedLevel = tempo::RoundToInt32(gain);
    levelMeasure = static_cast<float>((static_cast<double>(levelMeasure) + level) / halfLength * 100.0);

    // A 16-bit sample times a float is exact in double, so the range test sees the
    // true product.
    const double scaled = static_cast<double>(sample) * gain;
    if (scaled > kSampleMin && scaled < kSampleMax) {
      WriteSample(bytes + offset, tempo::RoundToInt32(scaled));
      continue;
    }

    const double overshoot = sample > 0 ? scaled : static_cast<double>(level) * gain;
    for (const ClipRow& row : kClipTable) {
      if (!clipFlag && overshoot > static_cast<double>(kSampleMax) * row.limit) {
        gain = gain * row.gainFactor;
        smoothedLevel = tempo::RoundToInt32(smoothedLevel * row.levelFactor);
        ++reductionCount;
        clipFlag = true;
      }
    }
    smoothedLevel = tempo::RoundToInt32(smoothedLevel * kClipLevelFactor);
    gain = gain * kClipGainFactor;
    WriteSample(bytes + offset, sample > 0 ? kSampleMax : kSampleMin);
  }

  // Clipping flattens the curve a little; a block that ends near silence steepens it.
  if (reductionCount != 0) {
    MoveSlope(state, -kSlopeStep);
  }
  int32_t quietness = 0;
  for (int32_t step = 0; step < 3; ++step) {
    quietness = tempo::RoundToInt32((static_cast<double>(quietness) + levelMeasure) / 2.0);
  }
  if (quietness == 1) {
    MoveSlope(state, kSlopeStep);
  }
}

void GainStage(uint32_t /*handle*/, uint32_t /*channel*/, void* buffer, uint32_t lengthBytes, void* user) {
  AnalysisState& state = user != nullptr ? *static_cast<AnalysisState*>(user) : TheAnalysisState();
  RunGainStage(state, buffer, lengthBytes);
}

}  // namespace tempo
