// The estimator on generated audio: click tracks and drum patterns must read their
// tempo within 1 %; silence, noise, short and changing input must give a defined answer.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <cstdint>
#include <random>
#include <vector>

#include "beat/TempoEstimator.h"

namespace {

constexpr int kRate = 44100;

// Deterministic white noise in -1..1 (a plain linear congruential generator is too
// regular: its samples correlate at long lags).
class Noise {
 public:
  float Next() { return static_cast<float>(engine_() >> 8) / static_cast<float>(1u << 23) - 1.0f; }

 private:
  std::mt19937 engine_{12345u};
};

struct Hit {
  double offsetBeats;
  float pitchHz;  // 0 for a noise burst
  float level;
  double decaySeconds;
};

// Stereo 16-bit audio of `hits` repeated every `patternBeats` beats at `bpm`, with
// optional background noise.
std::vector<int16_t> Pattern(double bpm, double seconds, const std::vector<Hit>& hits, double patternBeats,
                             float noiseLevel = 0.0f) {
  const auto frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> mono(frames, 0.0f);
  Noise noise;
  const double beatSeconds = 60.0 / bpm;
  for (double start = 0.0; start < seconds; start += patternBeats * beatSeconds) {
    for (const Hit& hit : hits) {
      const auto first = static_cast<size_t>((start + hit.offsetBeats * beatSeconds) * kRate);
      const auto length = static_cast<size_t>(hit.decaySeconds * 5 * kRate);
      for (size_t i = 0; i < length && first + i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const float source = hit.pitchHz > 0 ? static_cast<float>(std::sin(2 * std::numbers::pi * hit.pitchHz * t)) : noise.Next();
        mono[first + i] += hit.level * source * static_cast<float>(std::exp(-t / hit.decaySeconds));
      }
    }
  }
  std::vector<int16_t> stereo(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    const float value = std::clamp(mono[i] + noiseLevel * noise.Next(), -1.0f, 1.0f);
    stereo[2 * i] = stereo[2 * i + 1] = static_cast<int16_t>(std::lround(value * 32000.0f));
  }
  return stereo;
}

std::vector<int16_t> Clicks(double bpm, double seconds) { return Pattern(bpm, seconds, {{0, 1000, 0.8f, 0.004}}, 1); }

// Kick on 1 and 3, snare on 2 and 4, hi-hat on every eighth.
std::vector<int16_t> RockBeat(double bpm, double seconds) {
  std::vector<Hit> hits = {{0, 60, 0.7f, 0.08}, {2, 60, 0.7f, 0.08}, {1, 0, 0.5f, 0.05}, {3, 0, 0.5f, 0.05}};
  for (int eighth = 0; eighth < 8; ++eighth) hits.push_back({eighth * 0.5, 0, 0.15f, 0.01});
  return Pattern(bpm, seconds, hits, 4);
}

// Waltz: low note on 1, two chords after.
std::vector<int16_t> WaltzBeat(double bpm, double seconds) {
  return Pattern(bpm, seconds, {{0, 80, 0.7f, 0.1}, {1, 400, 0.3f, 0.06}, {2, 400, 0.3f, 0.06}}, 3);
}

// 6/8: kick on the first dotted beat, snare on the second, hi-hat on every eighth; the
// pairs of eighths make a strong pulse at 1.5 times the beat's tempo.
std::vector<int16_t> CompoundBeat(double bpm, double seconds) {
  std::vector<Hit> hits = {{0, 60, 0.7f, 0.08}, {1, 0, 0.5f, 0.05}};
  for (int eighth = 0; eighth < 6; ++eighth) hits.push_back({eighth / 3.0, 0, 0.15f, 0.01});
  return Pattern(bpm, seconds, hits, 2);
}

// Tresillo: kick on 1, the and of 2, and 4 (3 + 3 + 2 eighths), snare on 2 and 4,
// hi-hat on every eighth; the kicks a dotted quarter apart tempt a 2:3 reading.
std::vector<int16_t> TresilloBeat(double bpm, double seconds) {
  std::vector<Hit> hits = {
      {0, 60, 0.7f, 0.08}, {1.5, 60, 0.7f, 0.08}, {3, 60, 0.7f, 0.08}, {1, 0, 0.5f, 0.05}, {3, 0, 0.5f, 0.05}};
  for (int eighth = 0; eighth < 8; ++eighth) hits.push_back({eighth * 0.5, 0, 0.15f, 0.01});
  return Pattern(bpm, seconds, hits, 4);
}

beat::TempoEstimate Estimate(const std::vector<int16_t>& stereo, size_t chunkFrames = 4096) {
  beat::TempoEstimator estimator;
  for (size_t frame = 0; frame < stereo.size() / 2; frame += chunkFrames) {
    estimator.Feed(stereo.data() + 2 * frame, std::min(chunkFrames, stereo.size() / 2 - frame));
  }
  return estimator.Finish();
}

void ExpectDefined(const beat::TempoEstimate& estimate) {
  EXPECT_TRUE(std::isfinite(estimate.confidence));
  EXPECT_GE(estimate.confidence, 0.0);
  EXPECT_LE(estimate.confidence, 1.0);
  if (estimate.bpm) {
    EXPECT_TRUE(std::isfinite(*estimate.bpm));
  } else {
    EXPECT_EQ(estimate.confidence, 0.0);
  }
}

struct TempoCase {
  const char* name;
  std::vector<int16_t> (*make)(double, double);
  double bpm;
};

class ExactTempo : public testing::TestWithParam<TempoCase> {};

TEST_P(ExactTempo, ReadsWithinOnePercentAndSure) {
  const TempoCase& c = GetParam();
  const beat::TempoEstimate estimate = Estimate(c.make(c.bpm, 60.0));
  ExpectDefined(estimate);
  ASSERT_TRUE(estimate.bpm);
  EXPECT_NEAR(*estimate.bpm, c.bpm, c.bpm * 0.01);
  EXPECT_GT(estimate.confidence, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Generated, ExactTempo,
                         testing::Values(TempoCase{"Clicks60", Clicks, 60}, TempoCase{"Clicks93", Clicks, 93.5},
                                         TempoCase{"Clicks120", Clicks, 120}, TempoCase{"Clicks147", Clicks, 147.3},
                                         TempoCase{"Clicks190", Clicks, 189.9},
                                         TempoCase{"Rock100", RockBeat, 100}, TempoCase{"Rock128", RockBeat, 128},
                                         TempoCase{"Waltz90", WaltzBeat, 90}, TempoCase{"Waltz150", WaltzBeat, 150},
                                         TempoCase{"Compound100", CompoundBeat, 100},
                                         TempoCase{"Tresillo96", TresilloBeat, 96},
                                         TempoCase{"Tresillo124", TresilloBeat, 124}),
                         [](const testing::TestParamInfo<TempoCase>& param) { return std::string(param.param.name); });

// The period is read well below the envelope's 23 ms grid: a click track's tempo to a
// tenth of a BPM, closer than any tag or range boundary needs.
class PreciseClicks : public testing::TestWithParam<double> {};

TEST_P(PreciseClicks, ReadToATenth) {
  const beat::TempoEstimate estimate = Estimate(Clicks(GetParam(), 60.0));
  ASSERT_TRUE(estimate.bpm);
  EXPECT_NEAR(*estimate.bpm, GetParam(), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Generated, PreciseClicks, testing::Values(60.0, 100.0, 120.0, 150.0, 173.9));

// Near the ends of the range a pulse and its double are equally likely beats: the
// octave is the estimator's choice, the precision within it is not.
class ExactPulse : public testing::TestWithParam<TempoCase> {};

TEST_P(ExactPulse, ReadsTheTempoOrAnOctaveWithinOnePercent) {
  const TempoCase& c = GetParam();
  const beat::TempoEstimate estimate = Estimate(c.make(c.bpm, 60.0));
  ExpectDefined(estimate);
  ASSERT_TRUE(estimate.bpm);
  const double octave = std::exp2(std::round(std::log2(*estimate.bpm / c.bpm)));
  EXPECT_NEAR(*estimate.bpm / octave, c.bpm, c.bpm * 0.01) << *estimate.bpm;
  EXPECT_GE(*estimate.bpm, beat::kMinBpm);
  EXPECT_LE(*estimate.bpm, beat::kMaxBpm);
}

INSTANTIATE_TEST_SUITE_P(Generated, ExactPulse,
                         testing::Values(TempoCase{"Clicks200", Clicks, 200}, TempoCase{"Clicks237", Clicks, 237},
                                         TempoCase{"Rock72", RockBeat, 72}, TempoCase{"Rock165", RockBeat, 165},
                                         TempoCase{"Rock190", RockBeat, 190}),
                         [](const testing::TestParamInfo<TempoCase>& param) { return std::string(param.param.name); });

TEST(TempoEstimator, SilenceHasNoTempo) {
  const beat::TempoEstimate estimate = Estimate(std::vector<int16_t>(2 * kRate * 30, 0));
  EXPECT_FALSE(estimate.bpm);
  EXPECT_EQ(estimate.confidence, 0.0);
}

TEST(TempoEstimator, NothingFedHasNoTempo) {
  beat::TempoEstimator estimator;
  const beat::TempoEstimate estimate = estimator.Finish();
  EXPECT_FALSE(estimate.bpm);
  EXPECT_EQ(estimate.confidence, 0.0);
}

TEST(TempoEstimator, TwoSecondsAreTooShort) {
  const beat::TempoEstimate estimate = Estimate(Clicks(120, 2.0));
  EXPECT_FALSE(estimate.bpm);
  EXPECT_EQ(estimate.confidence, 0.0);
}

// The confidence reads how strongly the chosen period is divided: a rock beat's hi-hat
// eighths halve it, a click track has nothing between its clicks.
TEST(TempoEstimator, SubdivisionSeparatesADividedBeatFromBareClicks) {
  const beat::TempoEstimate rock = Estimate(RockBeat(110, 40.0));
  const beat::TempoEstimate clicks = Estimate(Clicks(110, 40.0));
  ASSERT_TRUE(rock.bpm && clicks.bpm);
  EXPECT_GT(rock.subdivision, 0.3);
  EXPECT_LT(clicks.subdivision, 0.1);
}

TEST(TempoEstimator, NoiseHasNoTempo) {
  const beat::TempoEstimate estimate = Estimate(Pattern(120, 40.0, {}, 1, 0.5f));
  ExpectDefined(estimate);
  EXPECT_FALSE(estimate.bpm);
  EXPECT_EQ(estimate.confidence, 0.0);
}

// Steady tones barely change: no tempo, however regular their tiny ripples are. (A
// tone below about 120 Hz near full scale still reads as a pulse: its window-to-window
// leakage changes as much as sparse clicks do.)
struct Tone {
  const char* name;
  std::vector<double> hz;
  double level;
};
class SteadyTone : public testing::TestWithParam<Tone> {};

TEST_P(SteadyTone, HasNoTempo) {
  const auto frames = static_cast<size_t>(30 * kRate);
  std::vector<int16_t> stereo(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    double value = 0.0;
    for (double hz : GetParam().hz) value += GetParam().level * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
    stereo[2 * i] = stereo[2 * i + 1] = static_cast<int16_t>(std::lround(value * 32000.0));
  }
  const beat::TempoEstimate estimate = Estimate(stereo);
  ExpectDefined(estimate);
  EXPECT_FALSE(estimate.bpm);
  EXPECT_EQ(estimate.confidence, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Generated, SteadyTone,
                         testing::Values(Tone{"Sine440", {440.0}, 0.125}, Tone{"Sine100", {100.0}, 0.3},
                                         Tone{"QuietSine", {440.0}, 0.001}, Tone{"Chord", {220.0, 331.0}, 0.3}),
                         [](const testing::TestParamInfo<Tone>& param) { return std::string(param.param.name); });

TEST(TempoEstimator, ClicksBelowTheRangeGiveADefinedTempo) {
  const beat::TempoEstimate estimate = Estimate(Clicks(40, 60.0));
  ExpectDefined(estimate);
  ASSERT_TRUE(estimate.bpm);
  // 40 itself or a multiple of it.
  const double ratio = *estimate.bpm / 40.0;
  EXPECT_NEAR(ratio, std::round(ratio), 0.02);
}

TEST(TempoEstimator, ClicksAboveTheRangeReadAtHalfSpeed) {
  const beat::TempoEstimate estimate = Estimate(Clicks(300, 60.0));
  ExpectDefined(estimate);
  ASSERT_TRUE(estimate.bpm);
  EXPECT_NEAR(*estimate.bpm, 150.0, 1.5);
}

TEST(TempoEstimator, TempoChangeGivesOneOfTheTwoThatHalfTheTrackAgreesWith) {
  std::vector<int16_t> audio = RockBeat(100, 40.0);
  const std::vector<int16_t> second = RockBeat(130, 40.0);
  audio.insert(audio.end(), second.begin(), second.end());
  const beat::TempoEstimate changing = Estimate(audio);
  ExpectDefined(changing);
  ASSERT_TRUE(changing.bpm);
  EXPECT_TRUE(std::abs(*changing.bpm / 100 - 1) < 0.04 || std::abs(*changing.bpm / 130 - 1) < 0.04) << *changing.bpm;
  // Only the segments of one half read that tempo; a steady track's all do.
  EXPECT_LE(changing.agreement, 0.6);
  EXPECT_GE(Estimate(RockBeat(100, 80.0)).agreement, 0.9);
}

TEST(TempoEstimator, ChunkSizeDoesNotChangeTheResult) {
  const std::vector<int16_t> audio = RockBeat(111, 30.0);
  const beat::TempoEstimate whole = Estimate(audio, audio.size() / 2);
  for (size_t chunk : {1u, 3u, 1000u, 4097u}) {
    const beat::TempoEstimate pieces = Estimate(audio, chunk);
    ASSERT_TRUE(whole.bpm && pieces.bpm);
    EXPECT_EQ(*whole.bpm, *pieces.bpm) << chunk;
    EXPECT_EQ(whole.confidence, pieces.confidence) << chunk;
  }
}

TEST(TempoEstimator, FullScaleSquareWaveStaysFinite) {
  std::vector<int16_t> audio(2 * kRate * 20);
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = (i / 2) % 100 < 50 ? INT16_MAX : INT16_MIN;
  ExpectDefined(Estimate(audio));
}

}  // namespace
