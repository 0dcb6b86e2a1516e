// Whole-track tempo estimate: the beat a listener would tap along to, worked out from
// 16-bit stereo 44100 Hz audio fed in pieces, with a confidence in that value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "beat/OnsetEnvelope.h"
#include "beat/Periodicity.h"

namespace beat {

struct TempoEstimate {
  // Beats per minute, or nothing when the audio holds no usable pulse (silence, too
  // short, no periodicity at all).
  std::optional<double> bpm;
  // How sure the value is, from 0 (no idea) to 1; 0 whenever bpm is empty. Never NaN.
  double confidence = 0.0;
  // The raw measures the confidence is made from, for calibration and diagnosis.
  double salience = 0.0;   // mean normalised autocorrelation at the chosen period
  double agreement = 0.0;  // share of the track's segments whose own pick agrees
  double probability = 0.0;  // the octave decision's probability for the value
  double margin = 0.0;       // its score's lead over the next candidate
  double octaveMargin = 0.0;  // its score's lead over its own double and half
  double subdivision = 0.0;   // its periodicity at a half or a third of the period
  // Mean onset strength per envelope value: how much the spectrum changes at all.
  double onsetStrength = 0.0;
};

class TempoEstimator {
 public:
  // `choice` tunes how the beat period is picked; the defaults are the tuned ones.
  explicit TempoEstimator(PeriodChoice choice = {}) : periodicity_(choice) {}
  TempoEstimator(const TempoEstimator&) = delete;
  TempoEstimator& operator=(const TempoEstimator&) = delete;

  // Adds frames of interleaved 16-bit stereo audio at 44100 Hz (two samples a frame).
  void Feed(const int16_t* interleavedStereo, size_t frames);
  // The estimate for everything fed so far. Feeding more after it is not meaningful.
  TempoEstimate Finish();

 private:
  OnsetEnvelope onsets_;
  Periodicity periodicity_;
  std::vector<float> newOnsets_;
  std::vector<float> newLowOnsets_;
  double onsetSum_ = 0.0;
  uint64_t onsetCount_ = 0;
};

}  // namespace beat
