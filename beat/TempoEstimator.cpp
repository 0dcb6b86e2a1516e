// The estimator's pipeline: onset envelope, its periodicity, and the confidence made
// from how strong and how steady the chosen period is across the track.
#include "beat/TempoEstimator.h"

#include <algorithm>
#include <cmath>

namespace beat {

namespace {

// Logistic calibration of the confidence from the two measures of the chosen period.
constexpr double kBias = -4.0;
constexpr double kSalienceWeight = 2.0;
constexpr double kAgreementWeight = 2.0;
constexpr double kProbabilityWeight = 4.0;

}  // namespace

void TempoEstimator::Feed(const int16_t* interleavedStereo, size_t frames) {
  newOnsets_.clear();
  onsets_.Feed(interleavedStereo, frames, newOnsets_);
  periodicity_.Add(newOnsets_.data(), newOnsets_.size());
}

TempoEstimate TempoEstimator::Finish() {
  const PeriodResult period = periodicity_.Finish();
  TempoEstimate estimate;
  if (!period.periodValues || !(*period.periodValues > 0.0)) return estimate;
  estimate.bpm = 60.0 * kEnvelopeRate / *period.periodValues;
  estimate.salience = period.salience;
  estimate.agreement = period.agreement;
  estimate.probability = period.probability;
  const double logit = kBias + kSalienceWeight * period.salience + kAgreementWeight * period.agreement +
                       kProbabilityWeight * period.probability;
  const double confidence = 1.0 / (1.0 + std::exp(-logit));
  estimate.confidence = std::isfinite(confidence) ? std::clamp(confidence, 0.0, 1.0) : 0.0;
  return estimate;
}

}  // namespace beat
