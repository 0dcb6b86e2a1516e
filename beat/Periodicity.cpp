// Autocorrelation of the onset envelope per segment, normalised and summed over the
// track; the beat lag is the strongest peak after a tempo preference and a reward for a
// recurring double period, refined by a comb across its multiples.
#include "beat/Periodicity.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "beat/OnsetEnvelope.h"

namespace beat {

namespace {

// A power of two holding a segment and the longest lag, so that the circular
// autocorrelation does not wrap onto the lags used.
constexpr size_t FftSizeFor(size_t values) {
  size_t size = 2;
  while (size < values) size *= 2;
  return size;
}
constexpr size_t kFftSize = FftSizeFor(Periodicity::kSegmentValues + Periodicity::kMaxLag);
// Below this variance a segment's envelope is silence (or digital hum): it says nothing
// about the tempo and is left out.
constexpr double kSilentVariance = 1e-6;
constexpr double kAgreementTolerance = 0.04;
// An octave candidate's periodicity must reach this share of the strongest peak's.
constexpr double kCandidateShare = 0.15;
// A pulse without accents (a click track) recurs equally at one, two, three and four
// times its period: within this share of its own periodicity at each, in the low bands
// too.
constexpr double kUnaccentedShare = 0.10;
// The refinement searches periods within this share either side of the chosen lag and
// of the candidate it stands for, in steps of this many envelope values.
constexpr double kRefineReach = 0.03;
constexpr double kRefineStep = 0.005;
// The polish after the comb reads the peaks of up to this many multiples.
constexpr int kPolishMultiples = 16;

double LagOfBpm(double bpm) { return 60.0 * kEnvelopeRate / bpm; }

// Vertex of the parabola through the values at lag-1, lag, lag+1.
double ParabolicPeak(const std::vector<double>& acf, size_t lag) {
  const double left = acf[lag - 1], centre = acf[lag], right = acf[lag + 1];
  const double curvature = left - 2.0 * centre + right;
  if (curvature >= 0.0) return static_cast<double>(lag);
  const double offset = 0.5 * (left - right) / curvature;
  return static_cast<double>(lag) + std::clamp(offset, -0.5, 0.5);
}

}  // namespace

Periodicity::Periodicity(PeriodChoice choice)
    : choice_(choice),
      fft_(kFftSize),
      padded_(kFftSize),
      spectrum_(kFftSize / 2 + 1),
      products_(kFftSize),
      segmentAcf_(kMaxLag + 1),
      segmentLowAcf_(kMaxLag + 1),
      sum_(kMaxLag + 1, 0.0),
      lowSum_(kMaxLag + 1, 0.0) {
  pending_.reserve(kSegmentValues);
  lowPending_.reserve(kSegmentValues);
}

void Periodicity::Add(const float* values, const float* lowValues, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    pending_.push_back(values[i]);
    lowPending_.push_back(lowValues[i]);
    ++valuesSinceAnalysis_;
    if (pending_.size() == kSegmentValues) {
      AnalyseSegment(pending_.data(), lowPending_.data(), pending_.size());
      pending_.erase(pending_.begin(), pending_.begin() + kSegmentHop);
      lowPending_.erase(lowPending_.begin(), lowPending_.begin() + kSegmentHop);
      valuesSinceAnalysis_ = 0;
    }
  }
}

void Periodicity::AnalyseSegment(const float* values, const float* lowValues, size_t count) {
  if (!SegmentAcf(values, count, segmentAcf_)) return;
  // Low bands without onsets of their own (no bass, no kick) add nothing.
  if (!SegmentAcf(lowValues, count, segmentLowAcf_)) std::fill(segmentLowAcf_.begin(), segmentLowAcf_.end(), 0.0);
  for (size_t lag = 0; lag <= kMaxLag; ++lag) {
    sum_[lag] += segmentAcf_[lag];
    lowSum_[lag] += segmentLowAcf_[lag];
  }
  ++segments_;
  // The segment's own choice, interpolated: at a coarse envelope rate the whole lag
  // alone can be several per cent off.
  const size_t lag = ChooseLag(segmentAcf_, segmentLowAcf_, choice_).lag;
  segmentLags_.push_back(lag > 0 ? static_cast<float>(ParabolicPeak(segmentAcf_, lag)) : 0.0f);
}

bool Periodicity::SegmentAcf(const float* values, size_t count, std::vector<double>& acf) {
  double mean = 0.0;
  for (size_t i = 0; i < count; ++i) mean += values[i];
  mean /= static_cast<double>(count);
  std::fill(padded_.begin(), padded_.end(), 0.0f);
  for (size_t i = 0; i < count; ++i) padded_[i] = static_cast<float>(values[i] - mean);

  // Autocorrelation through the power spectrum; the zero padding beyond count + kMaxLag
  // keeps the circular wrap away from the lags used.
  fft_.Forward(padded_.data(), spectrum_.data());
  for (auto& bin : spectrum_) bin = std::norm(bin);
  fft_.Inverse(spectrum_.data(), products_.data());

  const double energy = products_[0];
  if (!(energy / (static_cast<double>(kFftSize) * static_cast<double>(count)) > kSilentVariance)) return false;
  const size_t lags = std::min(kMaxLag, count - 1);
  std::fill(acf.begin(), acf.end(), 0.0);
  // Unbiased: each lag divided by the number of products it sums, so a short segment
  // does not favour short lags.
  for (size_t lag = 0; lag <= lags; ++lag) {
    acf[lag] = products_[lag] / energy * static_cast<double>(count) / static_cast<double>(count - lag);
  }
  return true;
}

namespace {

// Whether a lag of the tempo range is a positive local peak of the autocorrelation.
bool IsTempoPeak(const std::vector<double>& acf, size_t lag) {
  const double value = acf[lag];
  return value > 0.0 && value >= acf[lag - 1] && value >= acf[lag + 1];
}

// The listener's preference for a period: a log-Gaussian weight around the preferred tempo.
double TempoPreference(size_t lag, const PeriodChoice& choice) {
  const double octaves = std::log2(static_cast<double>(lag) / LagOfBpm(choice.preferredBpm)) / choice.preferredWidthOctaves;
  return std::exp(-0.5 * octaves * octaves);
}

// The lags that span the tempo range.
size_t FirstTempoLag() { return static_cast<size_t>(std::floor(LagOfBpm(kMaxBpm))); }
size_t LastTempoLag() { return static_cast<size_t>(std::ceil(LagOfBpm(kMinBpm))); }

}  // namespace

size_t Periodicity::StrongestLag(const std::vector<double>& acf, const PeriodChoice& choice) {
  size_t best = 0;
  double bestScore = 0.0;
  for (size_t lag = FirstTempoLag(); lag <= LastTempoLag(); ++lag) {
    if (!IsTempoPeak(acf, lag)) continue;
    double twice = 0.0;
    for (size_t near = 2 * lag - 1; near <= 2 * lag + 1 && near <= kMaxLag; ++near) twice = std::max(twice, acf[near]);
    const double score = TempoPreference(lag, choice) * (acf[lag] + choice.doubleWeight * twice);
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

std::vector<size_t> Periodicity::StrongestPeaks(const std::vector<double>& acf, const PeriodChoice& choice,
                                                size_t count, double minValue) {
  std::vector<std::pair<double, size_t>> peaks;
  for (size_t lag = FirstTempoLag(); lag <= LastTempoLag(); ++lag) {
    if (IsTempoPeak(acf, lag) && acf[lag] >= minValue) peaks.emplace_back(TempoPreference(lag, choice) * acf[lag], lag);
  }
  const size_t kept = std::min(count, peaks.size());
  std::partial_sort(peaks.begin(), peaks.begin() + static_cast<long>(kept), peaks.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first || (a.first == b.first && a.second < b.second); });
  std::vector<size_t> lags;
  for (size_t i = 0; i < kept; ++i) lags.push_back(peaks[i].second);
  return lags;
}

std::vector<double> Periodicity::OctaveCandidates(double lag) {
  std::vector<double> candidates;
  // The strongest peak itself first: it wins ties.
  // A bar of four beats, or a beat of three pulses read against a pulse of four (4:3),
  // can recur more strongly than the beat: quarters, fourfolds and the 3:4 and 4:3
  // relatives compete too.
  for (double factor : {1.0, 0.5, 2.0, 1.0 / 3.0, 3.0, 2.0 / 3.0, 1.5, 0.75, 4.0 / 3.0, 0.25, 4.0}) {
    const double candidate = lag * factor;
    if (candidate >= LagOfBpm(kMaxBpm) && candidate <= LagOfBpm(kMinBpm)) candidates.push_back(candidate);
  }
  return candidates;
}

std::vector<double> Periodicity::Candidates(const std::vector<double>& acf, size_t strongest,
                                            const PeriodChoice& choice) {
  std::vector<double> candidates = OctaveCandidates(static_cast<double>(strongest));
  // A syncopated pattern can recur most strongly at a period no simple ratio away from
  // the beat (two and a half beats, a dotted beat's multiple): the other strong peaks
  // compete as well. Only peaks of at least half the strongest's height: weaker ones are
  // as likely chance as pulse (in noise, chance peaks would then win).
  for (size_t peak : StrongestPeaks(acf, choice, kPeakCandidates, kPeakCandidateShare * acf[strongest])) {
    const auto lag = static_cast<double>(peak);
    if (std::all_of(candidates.begin(), candidates.end(),
                    [lag](double candidate) { return std::abs(lag / candidate - 1.0) > 0.03; })) {
      candidates.push_back(lag);
    }
  }
  return candidates;
}

namespace {

// The autocorrelation summed over a lag and its two neighbours. A sharp pulse fills one
// envelope value per beat, so at a period between two lags its periodicity is split
// between them while its double falls whole on one lag; the sum reads both alike.
double LagMass(const std::vector<double>& acf, size_t lag) {
  if (lag == 0 || lag + 1 >= acf.size()) return acf[lag];
  return acf[lag - 1] + acf[lag] + acf[lag + 1];
}

// The highest autocorrelation within 3 % of a lag (0 beyond the lags kept), and where;
// with `mass`, the highest LagMass instead.
double PeakNear(const std::vector<double>& acf, double lag, size_t* where = nullptr, bool mass = false) {
  const auto first = static_cast<long>(std::floor(lag * 0.97));
  const auto last = std::min(static_cast<long>(std::ceil(lag * 1.03)), static_cast<long>(acf.size()) - 2);
  double best = 0.0;
  bool found = false;
  for (long candidate = std::max(first, 1L); candidate <= last; ++candidate) {
    const auto at = static_cast<size_t>(candidate);
    const double value = mass ? LagMass(acf, at) : acf[at];
    if (!found || value > best) {
      best = value;
      found = true;
      if (where != nullptr) *where = at;
    }
  }
  return found ? best : 0.0;
}

// Whether a pulse of this lag recurs alike at two, three and four times it, in the whole
// envelope and in the low bands: no beat of it stands out, so none of its multiples is
// a slower beat.
bool Unaccented(const std::vector<double>& acf, const std::vector<double>& lowAcf, double lag) {
  for (const std::vector<double>* values : {&acf, &lowAcf}) {
    const double own = PeakNear(*values, lag, nullptr, true);
    if (!(own > 0.0)) return false;
    for (int multiple = 2; multiple <= 4; ++multiple) {
      const double ratio = PeakNear(*values, lag * multiple, nullptr, true) / own;
      if (std::abs(ratio - 1.0) > kUnaccentedShare) return false;
    }
  }
  return true;
}

// The highest value over the lags of the tempo range, or 1 when none is positive: the
// scale a file's periodicities are read against.
double TempoRangePeak(const std::vector<double>& acf) {
  const size_t first = FirstTempoLag();
  const size_t last = std::min(LastTempoLag(), acf.size() - 1);
  double peak = 0.0;
  for (size_t lag = first; lag <= last; ++lag) peak = std::max(peak, acf[lag]);
  return peak > 0.0 ? peak : 1.0;
}

// The autocorrelation averaged over every multiple of a period that the lags kept reach,
// read between lags: how strongly a pulse of that period recurs as a whole.
double CombMean(const std::vector<double>& acf, double period) {
  const double last = static_cast<double>(acf.size()) - 2.0;
  double sum = 0.0;
  int count = 0;
  for (int multiple = 1; multiple * period <= last; ++multiple, ++count) {
    const double at = multiple * period;
    const auto below = static_cast<size_t>(at);
    sum += acf[below] + (at - static_cast<double>(below)) * (acf[below + 1] - acf[below]);
  }
  return count > 0 ? sum / count : 0.0;
}

// The highest CombMean within 2 % of a period (nine periods): a candidate read off the
// lag grid may be that far from the pulse.
double CombNear(const std::vector<double>& acf, double period) {
  double best = CombMean(acf, period * 0.98);
  for (int step = 1; step <= 8; ++step) best = std::max(best, CombMean(acf, period * (0.98 + 0.005 * step)));
  return best;
}

// The highest CombNear over the tempo range in half-lag steps, or 1 when none is
// positive: the scale comb means are read against.
double TempoRangeComb(const std::vector<double>& acf) {
  double best = 0.0;
  for (double period = LagOfBpm(kMaxBpm); period < LagOfBpm(kMinBpm); period += 0.5) {
    best = std::max(best, CombNear(acf, period));
  }
  return best > 0.0 ? best : 1.0;
}

// What a file's features are read against, the same for all its candidates.
struct FeatureScales {
  double whole = 1.0;
  double low = 1.0;
  double lowComb = 1.0;
};

FeatureScales ScalesOf(const std::vector<double>& acf, const std::vector<double>& lowAcf) {
  return {TempoRangePeak(acf), TempoRangePeak(lowAcf), TempoRangeComb(lowAcf)};
}

OctaveFeatures FeaturesWith(const std::vector<double>& acf, const std::vector<double>& lowAcf,
                            const FeatureScales& scales, double candidateLag) {
  const double octaves = std::log2(60.0 * kEnvelopeRate / candidateLag / 120.0);
  // Periodicities relative to the file's strongest one: how strong a pulse is next to the
  // others, not how clean the recording is, decides which of them is the beat.
  const double scale = 1.0 / scales.whole;
  const double lowScale = 1.0 / scales.low;
  const double combScale = 1.0 / scales.lowComb;
  return {octaves,
          octaves * octaves,
          scale * PeakNear(acf, candidateLag / 3.0),
          scale * PeakNear(acf, candidateLag / 2.0),
          scale * PeakNear(acf, candidateLag),
          scale * PeakNear(acf, candidateLag * 1.5),
          scale * PeakNear(acf, candidateLag * 2.0),
          scale * PeakNear(acf, candidateLag * 3.0),
          scale * PeakNear(acf, candidateLag * 4.0),
          lowScale * PeakNear(lowAcf, candidateLag / 2.0),
          lowScale * PeakNear(lowAcf, candidateLag),
          lowScale * PeakNear(lowAcf, candidateLag * 2.0),
          lowScale * PeakNear(lowAcf, candidateLag * 3.0),
          lowScale * PeakNear(lowAcf, candidateLag * 4.0),
          scale * PeakNear(acf, candidateLag * 2.0 / 3.0),
          scale * std::max(PeakNear(acf, candidateLag / 2.0), PeakNear(acf, candidateLag / 3.0)),
          combScale * CombNear(lowAcf, candidateLag / 2.0),
          combScale * CombNear(lowAcf, candidateLag),
          combScale * CombNear(lowAcf, candidateLag * 2.0),
          combScale * CombNear(lowAcf, candidateLag * 3.0),
          combScale * CombNear(lowAcf, candidateLag * 4.0)};
}

}  // namespace

OctaveFeatures Periodicity::Features(const std::vector<double>& acf, const std::vector<double>& lowAcf,
                                     double candidateLag) {
  return FeaturesWith(acf, lowAcf, ScalesOf(acf, lowAcf), candidateLag);
}

LagChoice Periodicity::ChooseLag(const std::vector<double>& acf, const std::vector<double>& lowAcf,
                                 const PeriodChoice& choice) {
  LagChoice result;
  const size_t strongest = StrongestLag(acf, choice);
  if (strongest == 0) return result;
  result.lag = strongest;
  result.candidate = static_cast<double>(strongest);
  result.strength = acf[strongest];
  std::vector<double> scores;
  std::vector<size_t> lags;
  std::vector<double> candidates;
  std::vector<double> subdivisions;
  const FeatureScales scales = ScalesOf(acf, lowAcf);
  for (double candidate : Candidates(acf, strongest, choice)) {
    const OctaveFeatures features = FeaturesWith(acf, lowAcf, scales, candidate);
    double score = 0.0;
    for (size_t i = 0; i < kOctaveFeatures; ++i) score += choice.octaveWeights[i] * features[i];
    // The beat itself must recur: a multiple without a clear periodicity of its own
    // (the half period of a plain click track) is no candidate.
    size_t peak = 0;
    if (PeakNear(acf, candidate, &peak) < kCandidateShare * acf[strongest] || peak < 1) continue;
    scores.push_back(score);
    lags.push_back(peak);
    candidates.push_back(candidate);
    subdivisions.push_back(features[kSubdivisionFeature]);
  }
  result.margin = kMaxMargin;
  result.octaveMargin = kMaxMargin;
  if (scores.empty()) {
    result.probability = 1.0;
    return result;
  }
  size_t best = static_cast<size_t>(std::max_element(scores.begin(), scores.end()) - scores.begin());
  // A slower beat needs accents: when the pulse at half the chosen period recurs alike at
  // all its multiples, the pulse itself is the beat (a click track at 190 is not read at
  // 95 because every second click also recurs). It takes the chosen one's score.
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (std::abs(candidates[best] / (2.0 * candidates[i]) - 1.0) < 0.03 && Unaccented(acf, lowAcf, candidates[i])) {
      std::swap(scores[i], scores[best]);
      best = i;
      break;
    }
  }
  double total = 0.0;
  for (size_t i = 0; i < scores.size(); ++i) {
    total += std::exp(scores[i] - scores[best]);
    if (i == best) continue;
    const double lead = std::min(scores[best] - scores[i], kMaxMargin);
    result.margin = std::min(result.margin, lead);
    // A double or half of the chosen lag: the octave error a listener would notice.
    const double ratio = static_cast<double>(lags[i]) / static_cast<double>(lags[best]);
    if (std::abs(ratio / 2.0 - 1.0) < 0.05 || std::abs(ratio * 2.0 - 1.0) < 0.05) {
      result.octaveMargin = std::min(result.octaveMargin, lead);
    }
  }
  result.lag = lags[best];
  result.candidate = candidates[best];
  result.probability = 1.0 / total;
  result.subdivision = subdivisions[best];
  return result;
}

double Periodicity::RefineLag(const std::vector<double>& acf, double low, double high) {
  // Each period's comb mean, in small steps. A beat's multiples all recur, so the comb
  // peaks at the beat; each multiple divides the error of reading the period off the coarse
  // lag grid by its number, and a beat whose own peak is weak or blurred (soft onsets,
  // rubato strings) is read from its clearer multiples instead.
  double best = low;
  double bestComb = CombMean(acf, low);
  for (int step = 1; low + step * kRefineStep <= high; ++step) {
    const double period = low + step * kRefineStep;
    const double comb = CombMean(acf, period);
    if (comb > bestComb) {
      bestComb = comb;
      best = period;
    }
  }
  // The comb's reading between lags is linear, which blunts a sharp peak; the multiples'
  // own peaks, each read off a parabola, give the last digits. Least squares over the
  // multiples near the comb's period that show a clear peak of their own, as long as
  // they keep showing one.
  double period = best;
  double weightedSum = period, squares = 1.0;
  const double atPeriod = acf[std::min(static_cast<size_t>(std::lround(period)), acf.size() - 1)];
  for (int multiple = 2; multiple <= kPolishMultiples; ++multiple) {
    const auto centre = std::lround(multiple * period);
    const long from = centre - 2;
    const long to = centre + 2;
    if (from < 1 || to + 1 >= static_cast<long>(acf.size())) break;
    auto peak = static_cast<size_t>(from);
    for (auto candidate = static_cast<size_t>(from); candidate <= static_cast<size_t>(to); ++candidate) {
      if (acf[candidate] > acf[peak]) peak = candidate;
    }
    if (peak == static_cast<size_t>(from) || peak == static_cast<size_t>(to) || acf[peak] < 0.5 * atPeriod) break;
    weightedSum += multiple * ParabolicPeak(acf, peak);
    squares += multiple * multiple;
    period = weightedSum / squares;
  }
  return period;
}

PeriodResult Periodicity::Finish() {
  if (pending_.size() >= kMinSegmentValues && (segments_ == 0 || valuesSinceAnalysis_ >= kSegmentHop / 2)) {
    AnalyseSegment(pending_.data(), lowPending_.data(), pending_.size());
  }
  pending_.clear();
  lowPending_.clear();
  valuesSinceAnalysis_ = 0;

  PeriodResult result;
  result.segments = segments_;
  if (segments_ == 0) return result;
  std::vector<double>& mean = result.meanAcf;
  std::vector<double>& lowMean = result.meanLowAcf;
  mean.resize(sum_.size());
  lowMean.resize(sum_.size());
  for (size_t lag = 0; lag < sum_.size(); ++lag) {
    mean[lag] = sum_[lag] / static_cast<double>(segments_);
    lowMean[lag] = lowSum_[lag] / static_cast<double>(segments_);
  }
  const LagChoice choice = ChooseLag(mean, lowMean, choice_);
  const size_t lag = choice.lag;
  if (lag == 0) return result;
  result.probability = choice.probability;
  result.margin = choice.margin;
  result.octaveMargin = choice.octaveMargin;
  result.subdivision = choice.subdivision;
  const double near = std::min(choice.candidate, static_cast<double>(lag));
  const double far = std::max(choice.candidate, static_cast<double>(lag));
  const double period = RefineLag(mean, near * (1.0 - kRefineReach), far * (1.0 + kRefineReach));
  result.periodValues = period;
  result.salience = mean[lag];
  result.strength = choice.strength;
  size_t agreeing = 0;
  for (float segmentLag : segmentLags_) {
    if (segmentLag > 0.0f && std::abs(segmentLag / period - 1.0) <= kAgreementTolerance) ++agreeing;
  }
  result.agreement = static_cast<double>(agreeing) / static_cast<double>(segmentLags_.size());
  return result;
}

}  // namespace beat
