// Tests of the gain curve and the adaptive gain stage: curve values, first-sample
// smoothing, the steady-tone block, clipping with the clip table and slope steps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tempo/AnalysisState.h"
#include "tempo/GainStage.h"

namespace tempo {
namespace {

std::vector<uint8_t> ToBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto bits = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(bits & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
  }
  return bytes;
}

int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t index) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8)));
}

class GainStageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(state_.AllocateGainCurve());
    ASSERT_EQ(BuildGainCurve(state_, 100, 0.05f, 90), 1);
    state_.SetActiveFlag(1);
  }

  std::vector<int16_t> Run(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes = ToBytes(samples);
    RunGainStage(state_, bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      out[i] = SampleAt(bytes, i);
    }
    return out;
  }

  AnalysisState state_;
};

// Worked values of the start-up curve (100, 0.05, 90): gains rise by 0.065 a row
// from 0.99 to 6.775005 at row 90 and fall to 6.060004 at row 101; thresholds are
// 32767 / row, 1.0 at row 100, and row 0 and row 101's threshold stay 0.
struct CurveRow {
  int32_t row;
  float threshold;
  float gain;
};

class StartupCurveRows : public GainStageTest, public testing::WithParamInterface<CurveRow> {};

TEST_P(StartupCurveRows, MatchWorkedValues) {
  const CurveRow& expected = GetParam();
  EXPECT_NEAR(state_.Threshold(expected.row), expected.threshold, expected.threshold * 1e-6f);
  EXPECT_NEAR(state_.Gain(expected.row), expected.gain, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(Rows, StartupCurveRows,
                         testing::Values(CurveRow{0, 0.0f, 0.0f}, CurveRow{1, 32767.0f, 0.99f},
                                         CurveRow{3, 10922.33f, 1.12f}, CurveRow{90, 364.0778f, 6.775005f},
                                         CurveRow{99, 330.9798f, 6.190004f}, CurveRow{100, 1.0f, 6.125004f},
                                         CurveRow{101, 0.0f, 6.060004f}, CurveRow{102, 0.0f, 0.0f}));

TEST_F(GainStageTest, CurveRefusesSizesPastTheTable) {
  EXPECT_EQ(BuildGainCurve(state_, 200, 0.05f, 90), 0);
  EXPECT_EQ(BuildGainCurve(state_, 0, 0.05f, 90), 0);
  EXPECT_EQ(state_.CurveSize(), 100);
  AnalysisState bare;
  EXPECT_EQ(BuildGainCurve(bare, 100, 0.05f, 90), 0);
  EXPECT_EQ(BuildGainCurve(state_, 199, 0.05f, 90), 1);
}

TEST(GainStartup, InitBuildsTheProgramCurve) {
  ASSERT_EQ(InitGainCurve(), 1);
  const AnalysisState& state = TheAnalysisState();
  EXPECT_EQ(state.CurveSize(), 100);
  EXPECT_EQ(state.CurveSlope(), 0.05f);
  EXPECT_NEAR(state.Gain(90), 6.775005f, 1e-6f);
  EXPECT_EQ(state.Threshold(100), 1.0f);
  EXPECT_EQ(state.Threshold(0), 0.0f);
}

// The engine reaches the stage through a plain function pointer and user value 0.
TEST(GainStartup, CallbackWorksOnTheProgramState) {
  using DspProc = void (*)(uint32_t, uint32_t, void*, uint32_t, void*);
  const DspProc proc = &GainStage;
  ASSERT_EQ(InitGainCurve(), 1);
  std::vector<uint8_t> bytes = ToBytes({32767});
  proc(1, 2, bytes.data(), 2, nullptr);
  EXPECT_EQ(SampleAt(bytes, 0), 32767) << "flag still 0";
  TheAnalysisState().SetActiveFlag(1);
  proc(1, 2, bytes.data(), 2, nullptr);
  TheAnalysisState().SetActiveFlag(0);
  EXPECT_EQ(SampleAt(bytes, 0), 16);
}

// With a user value the callback works on the state it points to, not the program's.
TEST(GainStartup, CallbackWorksOnTheStateItsUserValuePointsTo) {
  ASSERT_EQ(InitGainCurve(), 1);
  AnalysisState own;
  ASSERT_EQ(InitGainCurve(own), 1);
  own.SetActiveFlag(1);
  std::vector<uint8_t> bytes = ToBytes({32767});
  GainStage(1, 2, bytes.data(), 2, &own);
  EXPECT_EQ(SampleAt(bytes, 0), 16);
  bytes = ToBytes({32767});
  GainStage(1, 2, bytes.data(), 2, nullptr);
  EXPECT_EQ(SampleAt(bytes, 0), 32767) << "the program's flag is still 0";
}

class InactiveFlag : public GainStageTest, public testing::WithParamInterface<int32_t> {};

TEST_P(InactiveFlag, LeavesBufferAndCurveUntouched) {
  state_.SetActiveFlag(GetParam());
  const std::vector<int16_t> samples = {32767, -32768, 1000, 0, 3};
  EXPECT_EQ(Run(samples), samples);
  EXPECT_EQ(state_.CurveSlope(), 0.05f);
}

INSTANTIATE_TEST_SUITE_P(Flags, InactiveFlag, testing::Values(0, 2, -1));

// The first sample is smoothed eleven times from gain 1.0 toward level 0, so it is
// divided by 2048 and rounded half to even: 1024 -> 0.5 -> 0, 3072 -> 1.5 -> 2,
// 5120 -> 2.5 -> 2.
struct FirstSample {
  int16_t in;
  int16_t out;
};

class FirstSampleHalvedElevenTimes : public GainStageTest, public testing::WithParamInterface<FirstSample> {};

TEST_P(FirstSampleHalvedElevenTimes, IsDividedBy2048) {
  EXPECT_EQ(Run({GetParam().in})[0], GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Samples, FirstSampleHalvedElevenTimes,
                         testing::Values(FirstSample{32767, 16}, FirstSample{1000, 0}, FirstSample{-4096, -2},
                                         FirstSample{0, 0}, FirstSample{1024, 0}, FirstSample{3072, 2},
                                         FirstSample{5120, 2}, FirstSample{-3072, -2}, FirstSample{-32768, -16}));

// 110 frames of 3000 in both channels. Sample 0: 3000 / 2048 = 1.46 -> 1. After it the
// gain keeps halving toward level 0, so samples are written as 0, except every 24th
// sample (indices 23, 47, ..., 215, all right-channel), where the curve is looked up
// afresh: row 10 (threshold 3276.7 is the first above 3000), gain = 1.575 + 0.065 x
// 3000 / 3276.7 = 1.6345, / 2048 = 0.000798, x 3000 = 2.39 -> 2.
TEST_F(GainStageTest, SteadyToneBlockComesBackNearSilent) {
  const std::vector<int16_t> tone(220, 3000);
  const std::vector<int16_t> out = Run(tone);
  for (size_t i = 0; i < out.size(); ++i) {
    const int16_t expected = i == 0 ? 1 : (i % 24 == 23 ? 2 : 0);
    EXPECT_EQ(out[i], expected) << "sample " << i;
  }
  EXPECT_EQ(state_.CurveSlope(), 0.05f);
  EXPECT_NEAR(state_.Gain(90), 6.775005f, 1e-6f) << "no rebuild";
}

TEST_F(GainStageTest, OddTrailingByteIsLeftAlone) {
  std::vector<uint8_t> bytes = ToBytes({32767, 3072});
  bytes.push_back(0xAB);
  RunGainStage(state_, bytes.data(), static_cast<uint32_t>(bytes.size()));
  EXPECT_EQ(SampleAt(bytes, 0), 16);
  EXPECT_EQ(SampleAt(bytes, 1), 0);
  EXPECT_EQ(bytes[4], 0xAB);

  uint8_t lone = 0x7F;
  RunGainStage(state_, &lone, 1);
  EXPECT_EQ(lone, 0x7F);
  RunGainStage(state_, nullptr, 400);
}

// A block of 200 samples makes the level measure (measure + level) / 200 x 100, a
// plain halving. Zeros, then a last sample s: the measure ends at s / 2 and q comes
// from three halvings with ties to even. s = 2: 1.0 -> 0.5 -> 0, 0.5 -> 0, 0.5 -> 0.
// s = 3: 1.5 -> 0.75 -> 1, 1.25 -> 1, 1.25 -> 1: q = 1, slope up. s = 4: 2 -> 1,
// 1.5 -> 2, 2 -> 2.
struct QuietTail {
  int16_t last;
  bool raisesSlope;
};

class QuietBlockSlope : public GainStageTest, public testing::WithParamInterface<QuietTail> {};

TEST_P(QuietBlockSlope, RaisesSlopeOnlyWhenMeasureRoundsToOne) {
  std::vector<int16_t> block(200, 0);
  block.back() = GetParam().last;
  Run(block);
  if (GetParam().raisesSlope) {
    EXPECT_FLOAT_EQ(state_.CurveSlope(), 0.051f);
    EXPECT_GT(state_.Gain(80), state_.Gain(81)) << "rebuilt with peak row 80";
  } else {
    EXPECT_EQ(state_.CurveSlope(), 0.05f);
    EXPECT_LT(state_.Gain(80), state_.Gain(81)) << "start-up curve kept";
  }
}

INSTANTIATE_TEST_SUITE_P(Tails, QuietBlockSlope,
                         testing::Values(QuietTail{1, false}, QuietTail{2, false}, QuietTail{3, true},
                                         QuietTail{-3, true}, QuietTail{4, false}));

// A curve steep enough to clip: slope 2000 gives G(100) = 0.99 + 102.7 x 2000, about
// 205401. Block of 200 samples:
//   0..22   0: written 0.
//   23      0: lookup at level 0 takes row 100: gain 205401 / 2048 = 100.29, level 100.
//   24  32767: gain 100.0001, v = 3.28e6 clips, above 1.5 x 32767: clip row 1, gain
//              x 0.94, level 100 x 0.94 = 94; then the flat step: level 84.6 -> 85.
//              Written 32767.
//   25  32767: clips again; the clip flag is set, so no row, only the flat step:
//              level 85 x 0.9 = 76.5 -> 76 (ties to even). Written 32767.
//   26    100: gain 76.0002, v = 7600.02 -> 7600. (A second clip row would have made
//              the level 80 -> 72, half-away rounding 77.)
//   27..198 0: written 0.
//   199  tail: with 3 the level measure ends at 1.5 and q = 1.
// Slope: 2000 - 0.001 is stored as the float 1999.9990234375; adding 0.001 back
// gives 2000.0000234, stored as 2000.0.
class ClippingBlock : public GainStageTest, public testing::WithParamInterface<int16_t> {
 protected:
  void SetUp() override {
    GainStageTest::SetUp();
    ASSERT_EQ(BuildGainCurve(state_, 100, 2000.0f, 90), 1);
  }
};

TEST_P(ClippingBlock, AppliesOneClipRowAndStepsSlope) {
  std::vector<int16_t> block(200, 0);
  block[24] = 32767;
  block[25] = 32767;
  block[26] = 100;
  block[199] = GetParam();
  const std::vector<int16_t> out = Run(block);
  for (size_t i = 0; i < 24; ++i) {
    EXPECT_EQ(out[i], 0) << "sample " << i;
  }
  EXPECT_EQ(out[24], 32767);
  EXPECT_EQ(out[25], 32767);
  EXPECT_EQ(out[26], 7600);
  for (size_t i = 27; i < 199; ++i) {
    EXPECT_EQ(out[i], 0) << "sample " << i;
  }

  const bool quietTail = GetParam() == 3;
  const float expectedSlope = quietTail ? 2000.0f : 1999.9990234375f;
  EXPECT_EQ(state_.CurveSlope(), expectedSlope);
  AnalysisState reference;
  ASSERT_TRUE(reference.AllocateGainCurve());
  BuildGainCurve(reference, 100, expectedSlope, 80);
  for (int32_t row = 0; row < AnalysisState::kCurveRows; ++row) {
    EXPECT_EQ(state_.Gain(row), reference.Gain(row)) << "row " << row;
    EXPECT_EQ(state_.Threshold(row), reference.Threshold(row)) << "row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(Tails, ClippingBlock, testing::Values(int16_t{0}, int16_t{3}));

TEST_F(GainStageTest, NegativeClipIsWrittenAsMinimum) {
  ASSERT_EQ(BuildGainCurve(state_, 100, 2000.0f, 90), 1);
  std::vector<int16_t> block(30, 0);
  block[24] = -32768;
  block[25] = -20000;
  const std::vector<int16_t> out = Run(block);
  EXPECT_EQ(out[24], -32768);
  EXPECT_EQ(out[25], -32768);
}

}  // namespace
}  // namespace tempo
