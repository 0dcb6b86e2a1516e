// The choice and refinement of the beat lag on envelopes with known periods.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "beat/OnsetEnvelope.h"
#include "beat/Periodicity.h"

namespace {

// An envelope of raised-cosine pulses every `period` values (fractional).
std::vector<float> PulseEnvelope(double period, size_t count, double accentEvery = 0) {
  std::vector<float> values(count);
  for (size_t i = 0; i < count; ++i) {
    const double phase = std::fmod(static_cast<double>(i), period) / period;
    const double distance = std::min(phase, 1.0 - phase) * period;
    double value = distance < 3.0 ? 0.5 + 0.5 * std::cos(std::numbers::pi * distance / 3.0) : 0.0;
    if (accentEvery > 0 && std::fmod(static_cast<double>(i) + 3.0, period * accentEvery) < period) value *= 2;
    values[i] = static_cast<float>(value);
  }
  return values;
}

// The envelope period of a tempo, in (fractional) envelope values.
double PeriodOf(double bpm) { return 60.0 * beat::kEnvelopeRate / bpm; }
size_t LagOf(double bpm) { return static_cast<size_t>(std::lround(PeriodOf(bpm))); }

struct PeriodCase {
  double bpm;
  double accentEvery;
};

class KnownPeriod : public testing::TestWithParam<PeriodCase> {};

TEST_P(KnownPeriod, RefinedWellBelowOneLag) {
  const PeriodCase c = GetParam();
  beat::Periodicity periodicity;
  const double period = PeriodOf(c.bpm);
  const std::vector<float> envelope = PulseEnvelope(period, beat::ValuesOf(240.0), c.accentEvery);
  periodicity.Add(envelope.data(), envelope.data(), envelope.size());
  const beat::PeriodResult result = periodicity.Finish();
  ASSERT_TRUE(result.periodValues);
  EXPECT_NEAR(*result.periodValues, period, 0.05) << c.bpm;
  EXPECT_GT(result.agreement, 0.9);
  EXPECT_GT(result.salience, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Periods, KnownPeriod,
                         testing::Values(PeriodCase{120.0, 0}, PeriodCase{160.0, 0}, PeriodCase{146.8, 4},
                                         PeriodCase{103.4, 3}, PeriodCase{72.0, 2}, PeriodCase{187.3, 0}));

// An autocorrelation with a Gaussian bump of the given width at each multiple of a
// period; the beat's own bump (the first) may sit off its place, lower, as a blurred
// beat leaves it.
std::vector<double> CombAcf(double period, double width, double firstShift, double firstHeight) {
  std::vector<double> acf(beat::Periodicity::kMaxLag + 1, 0.0);
  acf[0] = 1.0;
  for (int multiple = 1; multiple * period < static_cast<double>(acf.size()); ++multiple) {
    const double centre = multiple * period + (multiple == 1 ? firstShift : 0.0);
    const double height = multiple == 1 ? firstHeight : 0.6;
    for (size_t lag = 1; lag < acf.size(); ++lag) {
      const double distance = (static_cast<double>(lag) - centre) / width;
      acf[lag] += height * std::exp(-0.5 * distance * distance);
    }
  }
  return acf;
}

TEST(Periodicity, RefineLagReadsThePeriodFromAllItsMultiples) {
  struct Case {
    double period, width, firstShift, firstHeight;
  };
  // Sharp and broad peaks between two lags, and a beat whose own peak is weak and a lag
  // and a half off (a reading from it alone would be 5 % off).
  for (const Case& c : {Case{27.3, 0.6, 0.0, 0.6}, Case{21.77, 2.5, 0.0, 0.6}, Case{28.09, 1.5, 1.4, 0.2},
                        Case{46.5, 1.0, -1.2, 0.3}}) {
    const std::vector<double> acf = CombAcf(c.period, c.width, c.firstShift, c.firstHeight);
    const auto lag = static_cast<double>(std::lround(c.period + c.firstShift));
    const double refined = beat::Periodicity::RefineLag(acf, std::min(lag, c.period) * 0.97, std::max(lag, c.period) * 1.03);
    EXPECT_NEAR(refined / c.period, 1.0, 0.002) << c.period << " " << c.firstShift;
  }
}

TEST(Periodicity, FlatEnvelopeHasNoPeriod) {
  beat::Periodicity periodicity;
  const std::vector<float> flat(5000, 3.0f);
  periodicity.Add(flat.data(), flat.data(), flat.size());
  const beat::PeriodResult result = periodicity.Finish();
  EXPECT_FALSE(result.periodValues);
  EXPECT_EQ(result.segments, 0u);
}

TEST(Periodicity, ChooseLagFindsNoPeakInANegativeCurve) {
  std::vector<double> acf(beat::Periodicity::kMaxLag + 1, -0.1);
  acf[0] = 1.0;
  EXPECT_EQ(beat::Periodicity::ChooseLag(acf, acf, {}).lag, 0u);
}

TEST(Periodicity, PreferenceDecidesBetweenEqualOctaves) {
  // Equal peaks at the lags of 172 and 86 BPM and their multiples: the preferred tempo
  // decides.
  std::vector<double> acf(beat::Periodicity::kMaxLag + 1, 0.0);
  const size_t fastLag = LagOf(172);
  for (size_t multiple = 1; multiple <= 4; ++multiple) acf[multiple * fastLag] = 0.5;
  beat::PeriodChoice fast;
  fast.preferredBpm = 170;
  beat::PeriodChoice slow;
  slow.preferredBpm = 85;
  EXPECT_EQ(beat::Periodicity::StrongestLag(acf, fast), fastLag);
  EXPECT_EQ(beat::Periodicity::StrongestLag(acf, slow), 2 * fastLag);
}

TEST(Periodicity, FeaturesDoNotDependOnTheFileScale) {
  // A quieter or less regular recording scales every periodicity alike: the octave
  // decision reads them relative to the strongest.
  std::vector<double> acf(beat::Periodicity::kMaxLag + 1, 0.0), low(acf.size(), 0.0);
  for (size_t multiple = 1; multiple * LagOf(120) <= beat::Periodicity::kMaxLag; ++multiple) {
    acf[multiple * LagOf(120)] = 0.8;
    low[multiple * LagOf(120)] = multiple % 2 == 0 ? 0.6 : 0.2;
  }
  std::vector<double> halfAcf = acf, thirdLow = low;
  for (double& value : halfAcf) value *= 0.5;
  for (double& value : thirdLow) value /= 3.0;
  const double lag = static_cast<double>(LagOf(120));
  const beat::OctaveFeatures features = beat::Periodicity::Features(acf, low, lag);
  const beat::OctaveFeatures scaled = beat::Periodicity::Features(halfAcf, thirdLow, lag);
  for (size_t i = 0; i < beat::kOctaveFeatures; ++i) EXPECT_NEAR(features[i], scaled[i], 1e-12) << i;
  EXPECT_DOUBLE_EQ(features[4], 1.0);
}

// The octave decision's lead: clear when one candidate stands alone, small when a pulse
// and its double recur alike (the same peaks at every multiple).
TEST(Periodicity, MarginsShowHowClearTheChoiceIs) {
  std::vector<double> lone(beat::Periodicity::kMaxLag + 1, 0.0);
  lone[LagOf(120) - 1] = 0.4;
  lone[LagOf(120)] = 0.5;
  lone[LagOf(120) + 1] = 0.4;
  const beat::LagChoice alone = beat::Periodicity::ChooseLag(lone, lone, {});
  ASSERT_EQ(alone.lag, LagOf(120));
  EXPECT_EQ(alone.margin, beat::kMaxMargin);
  EXPECT_EQ(alone.octaveMargin, beat::kMaxMargin);
  EXPECT_EQ(alone.probability, 1.0);

  std::vector<double> pulses(beat::Periodicity::kMaxLag + 1, 0.0);
  for (size_t multiple = 1; multiple * LagOf(160) + 1 <= beat::Periodicity::kMaxLag; ++multiple) {
    pulses[multiple * LagOf(160)] = 0.5;
  }
  const beat::LagChoice ambiguous = beat::Periodicity::ChooseLag(pulses, pulses, {});
  ASSERT_NE(ambiguous.lag, 0u);
  EXPECT_GE(ambiguous.margin, 0.0);
  EXPECT_LE(ambiguous.margin, ambiguous.octaveMargin);
  EXPECT_LT(ambiguous.octaveMargin, beat::kMaxMargin);
  EXPECT_LT(ambiguous.probability, 1.0);
}

// The candidates of a peak include its 2:3 and 3:2 relatives (a dotted beat, the pairs
// of eighths in 6/8), its 3:4 and 4:3 ones, its quarter and fourfold, and none outside
// the tempo range.
struct CandidateCase {
  double bpm;
  double relative;
  bool expected;
};

class Candidates : public testing::TestWithParam<CandidateCase> {};

TEST_P(Candidates, HoldTheRelativesInRange) {
  const CandidateCase c = GetParam();
  const auto lag = static_cast<double>(LagOf(c.bpm));
  const std::vector<double> candidates = beat::Periodicity::OctaveCandidates(lag);
  ASSERT_FALSE(candidates.empty());
  EXPECT_DOUBLE_EQ(candidates.front(), lag);
  const bool found = std::any_of(candidates.begin(), candidates.end(),
                                 [&](double candidate) { return std::abs(candidate - lag * c.relative) < 1e-9; });
  EXPECT_EQ(found, c.expected) << c.bpm << " x " << c.relative;
  for (double candidate : candidates) {
    const double bpm = 60.0 * beat::kEnvelopeRate / candidate;
    EXPECT_GE(bpm, beat::kMinBpm);
    EXPECT_LE(bpm, beat::kMaxBpm);
  }
}

INSTANTIATE_TEST_SUITE_P(Lags, Candidates,
                         testing::Values(CandidateCase{96, 2.0 / 3.0, true}, CandidateCase{96, 1.5, true},
                                         CandidateCase{96, 0.5, true}, CandidateCase{96, 2.0, true},
                                         CandidateCase{172, 1.5, true}, CandidateCase{172, 0.5, false},
                                         CandidateCase{52, 1.5, false}, CandidateCase{52, 2.0 / 3.0, true},
                                         CandidateCase{96, 0.75, true}, CandidateCase{96, 4.0 / 3.0, true},
                                         CandidateCase{200, 4.0, true}, CandidateCase{60, 0.25, true},
                                         CandidateCase{120, 0.25, false}));

// Another strong peak at no simple ratio from the strongest (a syncopated pattern that
// recurs most at two and a half beats) is a candidate too, when it reaches half the
// strongest's height; weaker ones, and those that duplicate a relative, are not.
struct PeakCase {
  const char* name;
  double otherBpm;
  double otherHeight;
  bool expected;
};

class PeakCandidates : public testing::TestWithParam<PeakCase> {};

TEST_P(PeakCandidates, JoinWhenHighEnough) {
  const PeakCase c = GetParam();
  std::vector<double> acf(beat::Periodicity::kMaxLag + 1, 0.0);
  const size_t strongest = LagOf(120);
  const size_t other = LagOf(c.otherBpm);
  acf[strongest] = 0.6;
  acf[other] = std::max(acf[other], c.otherHeight);
  const std::vector<double> candidates = beat::Periodicity::Candidates(acf, strongest, beat::PeriodChoice{});
  const auto near = [&](double lag) {
    return static_cast<size_t>(std::count_if(candidates.begin(), candidates.end(), [&](double candidate) {
      return std::abs(candidate / lag - 1.0) <= 0.03;
    }));
  };
  EXPECT_EQ(near(static_cast<double>(other)) > 0, c.expected);
  // Every candidate once.
  for (double candidate : candidates) EXPECT_EQ(near(candidate), 1u) << candidate;
}

INSTANTIATE_TEST_SUITE_P(Peaks, PeakCandidates,
                         testing::Values(PeakCase{"TwoAndAHalfBeats", 48, 0.5, true},
                                         PeakCase{"FourThirds", 160, 0.35, true},
                                         PeakCase{"TooWeak", 48, 0.25, false},
                                         PeakCase{"DoubleIsThereAnyway", 60, 0.5, true}),
                         [](const testing::TestParamInfo<PeakCase>& param) { return std::string(param.param.name); });

}  // namespace
