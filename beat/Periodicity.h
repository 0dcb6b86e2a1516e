// Periodicity of an onset envelope over a whole track, built segment by segment so that
// memory stays the same for a three-minute song and a seven-hour recording, and the
// choice of the beat period in it.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <optional>
#include <vector>

#include "beat/OnsetEnvelope.h"
#include "beat/RealFft.h"

namespace beat {

inline constexpr double kMinBpm = 40.0;
inline constexpr double kMaxBpm = 250.0;

// The number of onset envelope values in `seconds`.
constexpr size_t ValuesOf(double seconds) { return static_cast<size_t>(seconds * kEnvelopeRate + 0.5); }

// Features of a candidate beat period that tell the beat from its half, double, third,
// triple and its 2:3 and 3:2 relatives (a dotted beat, a 6/8 bar's halves): the tempo's
// distance in octaves from 120 BPM (and its square), and, relative to the strongest
// periodicity in the tempo range, the periodicity at a third, half,
// once, one and a half, two, three and four times the period, that of the low bands'
// onsets (kick drum, bass: they mostly mark beats) at half, once, two, three and four
// times it, the periodicity at two thirds of the period, the stronger of those at a
// half and a third (a beat is divided in two or in three, either will do), and the low
// bands' comb means at half, once, two, three and four times the period (their
// periodicity averaged over all multiples of it, relative to the strongest such mean in
// the tempo range: how steadily a pulse recurs as a whole, not only one lag later).
inline constexpr size_t kOctaveFeatures = 21;
inline constexpr size_t kSubdivisionFeature = 15;
using OctaveFeatures = std::array<double, kOctaveFeatures>;

// How the beat period is chosen among the periodicities of the envelope: the strongest
// peak after a preference for moderate tempi, then among it and its simple multiples
// the one a linear score of their features ranks first.
struct PeriodChoice {
  // Listeners favour beats near this tempo (a log-Gaussian weight over periods).
  double preferredBpm = 120.0;
  double preferredWidthOctaves = 1.4;
  // Weight of the periodicity at twice the period: a beat is a pulse whose multiples
  // (half-bars, bars) recur as well.
  double doubleWeight = 0.5;
  // Weights of the octave decision, learned on the tuning half of the development set
  // (scripts/tune-octave.py); all zero would keep the strongest peak.
  OctaveFeatures octaveWeights = {1.4553,  -2.3248, -0.1476, 0.4762, 0.9402,  0.3346, 0.2227,
                                  0.2594,  -0.0573, -0.6689, 0.8720, 1.2564,  -0.9209, 0.7424,
                                  -0.5884, 0.6675,  0.6846,  0.7348, 0.9144, -0.0082, 1.1649};
};

// The largest lead of a candidate's score that counts: beyond it the choice is clear.
inline constexpr double kMaxMargin = 5.0;

struct LagChoice {
  // The chosen lag, a peak of the autocorrelation; 0 when there is none.
  size_t lag = 0;
  // The candidate period it was chosen as (a relative of the strongest lag, fractional):
  // the peak lies within 3 % of it.
  double candidate = 0.0;
  // The octave decision's probability for it among the candidates (softmax of scores).
  double probability = 0.0;
  // How far its score leads the next candidate's, and the best of its double and half
  // (kMaxMargin when there is none).
  double margin = 0.0;
  double octaveMargin = 0.0;
  // The stronger periodicity at a half and a third of the lag, relative to the file's
  // strongest (the subdivision feature of the octave decision).
  double subdivision = 0.0;
  // The periodicity at the strongest lag: how much pulse there is at all.
  double strength = 0.0;
};

struct PeriodResult {
  // The beat period in envelope values (fractional), or nothing.
  std::optional<double> periodValues;
  // Mean normalised autocorrelation at the chosen period (-1..1).
  double salience = 0.0;
  // Mean normalised autocorrelation at the strongest lag, whichever period is chosen.
  double strength = 0.0;
  // Share of the analysed segments whose own choice lies within 4 % of the period.
  double agreement = 0.0;
  // The octave decision's probability for the chosen period, and its score's lead over
  // the next candidate and over the chosen period's double and half.
  double probability = 0.0;
  double margin = 0.0;
  double octaveMargin = 0.0;
  // How strongly the chosen period is divided in two or three (LagChoice::subdivision).
  double subdivision = 0.0;
  size_t segments = 0;
  // The mean normalised autocorrelations the choice was made on (kMaxLag + 1 values),
  // of the whole envelope and of the low bands'.
  std::vector<double> meanAcf;
  std::vector<double> meanLowAcf;
};

class Periodicity {
 public:
  // Segments of about 12 s, taken every 6 s.
  static constexpr size_t kSegmentValues = ValuesOf(12.0);
  static constexpr size_t kSegmentHop = kSegmentValues / 2;
  // Lags reach eight seconds: four beats of 30 BPM, so that a slow candidate's bar (four
  // times its period) is seen as well as a fast one's.
  static constexpr size_t kMaxLag = ValuesOf(8.0);
  // A segment shorter than 3.7 s shows too few beats of a slow tempo to count.
  static constexpr size_t kMinSegmentValues = ValuesOf(3.7);

  explicit Periodicity(PeriodChoice choice = {});

  // Adds `count` values of the onset envelope and of the low bands' envelope.
  void Add(const float* values, const float* lowValues, size_t count);
  PeriodResult Finish();

  // The strongest peak of a normalised autocorrelation (kMaxLag + 1 values) after the
  // tempo preference, or 0 when it has no positive peak in the tempo range.
  static size_t StrongestLag(const std::vector<double>& acf, const PeriodChoice& choice);
  // The candidates of a lag: once, half, twice, a third, three times, two thirds, one
  // and a half, three quarters, four thirds, a quarter and four times it, those within
  // the tempo range.
  static std::vector<double> OctaveCandidates(double lag);
  // The highest local peaks of a normalised autocorrelation in the tempo range that
  // reach minValue, after the tempo preference alone, at most `count` of them, highest
  // first.
  static std::vector<size_t> StrongestPeaks(const std::vector<double>& acf, const PeriodChoice& choice, size_t count,
                                            double minValue);
  // The candidates the octave decision ranks: the strongest lag's octave candidates,
  // then those of the kPeakCandidates highest peaks reaching kPeakCandidateShare of the
  // strongest lag's value that none of them is within 3 % of.
  static constexpr size_t kPeakCandidates = 4;
  static constexpr double kPeakCandidateShare = 0.5;
  static std::vector<double> Candidates(const std::vector<double>& acf, size_t strongest, const PeriodChoice& choice);
  static OctaveFeatures Features(const std::vector<double>& acf, const std::vector<double>& lowAcf,
                                 double candidateLag);
  // The beat lag: the strongest peak, then the octave decision among its candidates.
  static LagChoice ChooseLag(const std::vector<double>& acf, const std::vector<double>& lowAcf,
                             const PeriodChoice& choice);
  // The period below the lag grid, between low and high (envelope values): the one whose
  // multiples recur most strongly on average.
  static double RefineLag(const std::vector<double>& acf, double low, double high);

 private:
  void AnalyseSegment(const float* values, const float* lowValues, size_t count);
  // The normalised autocorrelation of `count` values into acf; false for silence.
  bool SegmentAcf(const float* values, size_t count, std::vector<double>& acf);

  PeriodChoice choice_;
  RealFft fft_;
  std::vector<float> pending_;
  std::vector<float> lowPending_;
  size_t valuesSinceAnalysis_ = 0;
  std::vector<float> padded_;
  std::vector<std::complex<float>> spectrum_;
  std::vector<float> products_;
  std::vector<double> segmentAcf_;
  std::vector<double> segmentLowAcf_;
  std::vector<double> sum_;
  std::vector<double> lowSum_;
  size_t segments_ = 0;
  // Each analysed segment's own choice of lag (0 when it had none).
  std::vector<float> segmentLags_;
};

}  // namespace beat
