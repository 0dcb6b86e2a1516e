// The estimator's pipeline: onset envelope, its periodicity, and the confidence made
// from how strong, steady and clearly chosen the period is across the track.
#include "beat/TempoEstimator.h"

#include <algorithm>
#include <cmath>

namespace beat {

namespace {

// Logistic calibration of the confidence from the measures of the chosen period, fitted
// on the tuning half of the development set (scripts/tune-confidence.py). The value's
// distance from 120 BPM counts: octave errors land in the middle of the range (a slow
// ballad read at double speed, a fast swing at half), where a tempo and its double or
// half are both plausible; far out only one octave is. So does how strongly the period
// is divided in two or three: a slow beat read at double speed is its own subdivision and
// shows none of its own.
struct ConfidenceWeights {
  double bias, probability, margin, octaves, octavesSquared, octaveMargin, salience, agreement, subdivision;
};
constexpr ConfidenceWeights kConfidence = {-0.511, 1.295, 0.392, 0.776, -1.093, 0.310, -1.127, 0.446, 1.370};
// Below this mean autocorrelation at the strongest lag there is no pulse to speak of
// (noise, speech): no tempo rather than a guess. Music starts above 0.15. (The chosen
// period may be a weaker candidate than the strongest; in noise one of the many chance
// peaks would always pass.)
constexpr double kMinStrength = 0.08;
// Below this mean onset strength the spectrum hardly changes at all: a steady tone, a
// chord or a drone. The tiny ripples of such a sound (a tone's phase drifting against
// the hop) recur so regularly that they would read as a sure pulse. Steady tones stay
// under 2.2, a bare click track at 40 BPM is at 3.8, music above 6.
constexpr double kMinOnsetStrength = 2.8;

}  // namespace

void TempoEstimator::Feed(const int16_t* interleavedStereo, size_t frames) {
  newOnsets_.clear();
  newLowOnsets_.clear();
  onsets_.Feed(interleavedStereo, frames, newOnsets_, newLowOnsets_);
  periodicity_.Add(newOnsets_.data(), newLowOnsets_.data(), newOnsets_.size());
  for (float value : newOnsets_) onsetSum_ += value;
  onsetCount_ += newOnsets_.size();
}

TempoEstimate TempoEstimator::Finish() {
  const PeriodResult period = periodicity_.Finish();
  TempoEstimate estimate;
  estimate.onsetStrength = onsetCount_ > 0 ? onsetSum_ / static_cast<double>(onsetCount_) : 0.0;
  if (!period.periodValues || !(*period.periodValues > 0.0) || !(period.strength >= kMinStrength) ||
      !(estimate.onsetStrength >= kMinOnsetStrength)) {
    estimate.salience = period.salience;
    return estimate;
  }
  estimate.bpm = 60.0 * kEnvelopeRate / *period.periodValues;
  estimate.salience = period.salience;
  estimate.agreement = period.agreement;
  estimate.probability = period.probability;
  estimate.margin = period.margin;
  estimate.octaveMargin = period.octaveMargin;
  estimate.subdivision = period.subdivision;
  const double octaves = std::log2(*estimate.bpm / 120.0);
  const double logit = kConfidence.bias + kConfidence.probability * period.probability +
                       kConfidence.margin * period.margin + kConfidence.octaves * octaves +
                       kConfidence.octavesSquared * octaves * octaves +
                       kConfidence.octaveMargin * period.octaveMargin + kConfidence.salience * period.salience +
                       kConfidence.agreement * period.agreement + kConfidence.subdivision * period.subdivision;
  const double confidence = 1.0 / (1.0 + std::exp(-logit));
  estimate.confidence = std::isfinite(confidence) ? std::clamp(confidence, 0.0, 1.0) : 0.0;
  return estimate;
}

}  // namespace beat
