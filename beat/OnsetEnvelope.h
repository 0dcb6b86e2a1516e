// Onset strength of a stereo 44100 Hz signal: mono at 11025 Hz, a short-time spectrum in
// mel bands, and the log-magnitude spectral flux of each 23 ms hop.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "beat/RealFft.h"

namespace beat {

inline constexpr int kInputRate = 44100;
inline constexpr int kDecimation = 4;
inline constexpr double kAnalysisRate = static_cast<double>(kInputRate) / kDecimation;
inline constexpr size_t kWindowSamples = 256;
// A hop of about 23 ms: onsets closer together than that are one event to a listener
// tapping along, and the period is interpolated below the hop anyway.
inline constexpr size_t kHopSamples = 256;
// Onset envelope values per second (about 43).
inline constexpr double kEnvelopeRate = kAnalysisRate / kHopSamples;
// Mel bands whose log magnitudes make the flux; the lowest of them (up to about 240 Hz,
// kick drum and bass) also make a flux of their own.
inline constexpr size_t kBands = 40;
inline constexpr size_t kLowBands = 6;

class OnsetEnvelope {
 public:
  OnsetEnvelope();
  OnsetEnvelope(const OnsetEnvelope&) = delete;
  OnsetEnvelope& operator=(const OnsetEnvelope&) = delete;

  // Consumes stereo frames and appends one onset value per completed hop to `out`, and
  // that of the low bands alone to `lowOut`.
  void Feed(const int16_t* interleavedStereo, size_t frames, std::vector<float>& out, std::vector<float>& lowOut);
  // Stereo frames consumed so far.
  uint64_t framesFed() const { return framesFed_; }

 private:
  void EmitFrame(std::vector<float>& out, std::vector<float>& lowOut);

  RealFft fft_;
  std::array<float, kWindowSamples> window_{};
  // The mono samples of the window being filled, oldest first, and how many it holds.
  std::array<float, kWindowSamples> samples_{};
  size_t filled_ = 0;
  // Decimation: the sum of the current, incomplete group of input frames.
  float groupSum_ = 0.0f;
  int groupFrames_ = 0;
  std::array<float, kWindowSamples> frame_{};
  std::vector<std::complex<float>> spectrum_;
  std::vector<size_t> bandStarts_;
  std::vector<float> previousLog_;
  bool havePrevious_ = false;
  uint64_t framesFed_ = 0;
};

}  // namespace beat
