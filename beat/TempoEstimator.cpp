// The estimator's pipeline: onset envelope, its periodicity, and the confidence made
// from how strong and how steady the chosen period is across the track.
#include "beat/TempoEstimator.h"

#include <algorithm>
#include <cmath>

namespace beat {

namespace {

// Logistic calibration of the confidence from the measures of the chosen period, fitted
// on the tuning half of the development set (scripts/tune-confidence.py).
constexpr double kBias = -0.574;
constexpr double kSalienceWeight = 0.182;
constexpr double kAgreementWeight = 1.278;
constexpr double kProbabilityWeight = 1.622;
// Below this mean autocorrelation at the chosen period there is no pulse to speak of
// (noise, speech): no tempo rather than a guess. Music starts above 0.08.
constexpr double kMinSalience = 0.05;

}  // namespace

void TempoEstimator::Feed(const int16_t* interleavedStereo, size_t frames) {
  newOnsets_.clear();
  newLowOnsets_.clear();
  onsets_.Feed(interleavedStereo, frames, newOnsets_, newLowOnsets_);
  periodicity_.Add(newOnsets_.data(), newLowOnsets_.data(), newOnsets_.size());
}

TempoEstimate TempoEstimator::Finish() {
  const PeriodResult period = periodicity_.Finish();
  TempoEstimate estimate;
  if (!period.periodValues || !(*period.periodValues > 0.0) || !(period.salience >= kMinSalience)) {
    estimate.salience = period.salience;
    return estimate;
  }
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
