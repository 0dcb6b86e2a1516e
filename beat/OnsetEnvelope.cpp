// Onset strength by log-magnitude spectral flux: a note or a drum hit raises the energy
// of many bins at once, so the sum of the rises in log magnitude marks where it starts.
#include "beat/OnsetEnvelope.h"

#include <cmath>
#include <numbers>

namespace beat {

namespace {

// Log compression of the magnitudes, log(1 + C |X|): quiet partials count next to loud
// ones, so a soft hi-hat marks time as well as a kick drum.
constexpr float kLogCompression = 1000.0f;
// Binomial smoothing over five hops (about 29 ms): the flux of a sharp click spreads
// over a few values, so periodicity peaks are rounded enough to interpolate.
constexpr std::array<float, 5> kSmoothing = {1.0f / 16, 4.0f / 16, 6.0f / 16, 4.0f / 16, 1.0f / 16};

// First spectrum bin of each band, on the mel scale from 0 to 5.5 kHz: the ear's own
// resolution, and a log per band instead of one per bin.
std::vector<size_t> MelBandStarts() {
  const auto mel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
  const auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
  const double binHz = kAnalysisRate / static_cast<double>(kWindowSamples);
  const double top = mel(kAnalysisRate / 2);
  std::vector<size_t> starts;
  for (size_t band = 0; band < kBands; ++band) {
    const auto bin = static_cast<size_t>(std::lround(hz(top * static_cast<double>(band) / kBands) / binHz)) + 1;
    // Low bands are at least one bin wide.
    starts.push_back(starts.empty() ? 1 : std::max(bin, starts.back() + 1));
  }
  starts.push_back(kWindowSamples / 2 + 1);
  return starts;
}

}  // namespace

OnsetEnvelope::OnsetEnvelope()
    : fft_(kWindowSamples),
      frame_(kWindowSamples),
      spectrum_(kWindowSamples / 2 + 1),
      bandStarts_(MelBandStarts()),
      previousLog_(kBands) {
  for (size_t n = 0; n < kWindowSamples; ++n) {
    window_[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) /
                                                         static_cast<double>(kWindowSamples)));
  }
}

void OnsetEnvelope::Feed(const int16_t* interleavedStereo, size_t frames, std::vector<float>& out,
                         std::vector<float>& lowOut) {
  // Mono at a quarter of the rate: the mean of four stereo frames. The box filter keeps
  // the aliasing of content above 5.5 kHz low enough for onset detection, which only
  // needs to see energy rise, not its exact frequency.
  constexpr float kScale = 1.0f / (2.0f * kDecimation * 32768.0f);
  for (size_t i = 0; i < frames; ++i) {
    groupSum_ += static_cast<float>(interleavedStereo[2 * i]) + static_cast<float>(interleavedStereo[2 * i + 1]);
    if (++groupFrames_ == kDecimation) {
      AddSample(groupSum_ * kScale, out, lowOut);
      groupSum_ = 0.0f;
      groupFrames_ = 0;
    }
  }
  framesFed_ += frames;
}

void OnsetEnvelope::AddSample(float sample, std::vector<float>& out, std::vector<float>& lowOut) {
  ring_[ringPos_] = sample;
  ringPos_ = (ringPos_ + 1) % kWindowSamples;
  if (samplesSeen_ < kWindowSamples) ++samplesSeen_;
  if (++sinceHop_ < kHopSamples) return;
  sinceHop_ = 0;
  if (samplesSeen_ == kWindowSamples) EmitFrame(out, lowOut);
}

void OnsetEnvelope::EmitFrame(std::vector<float>& out, std::vector<float>& lowOut) {
  // The ring holds the window from ringPos_ on, then wraps to its start.
  const size_t tail = kWindowSamples - ringPos_;
  for (size_t n = 0; n < tail; ++n) frame_[n] = ring_[ringPos_ + n] * window_[n];
  for (size_t n = tail; n < kWindowSamples; ++n) frame_[n] = ring_[n - tail] * window_[n];
  fft_.Forward(frame_.data(), spectrum_.data());
  float flux = 0.0f, lowFlux = 0.0f;
  for (size_t band = 0; band < kBands; ++band) {
    if (band == kLowBands) lowFlux = flux;
    float power = 0.0f;
    for (size_t k = bandStarts_[band]; k < bandStarts_[band + 1]; ++k) power += std::norm(spectrum_[k]);
    const float logMagnitude = std::log(1.0f + kLogCompression * std::sqrt(power));
    if (havePrevious_ && logMagnitude > previousLog_[band]) flux += logMagnitude - previousLog_[band];
    previousLog_[band] = logMagnitude;
  }
  if (!havePrevious_) {
    havePrevious_ = true;
    return;
  }
  for (size_t i = 0; i + 1 < recentFlux_.size(); ++i) {
    recentFlux_[i] = recentFlux_[i + 1];
    recentLowFlux_[i] = recentLowFlux_[i + 1];
  }
  recentFlux_.back() = flux;
  recentLowFlux_.back() = lowFlux;
  if (++fluxCount_ < recentFlux_.size()) return;
  float smoothed = 0.0f, lowSmoothed = 0.0f;
  for (size_t i = 0; i < recentFlux_.size(); ++i) {
    smoothed += kSmoothing[i] * recentFlux_[i];
    lowSmoothed += kSmoothing[i] * recentLowFlux_[i];
  }
  out.push_back(smoothed);
  lowOut.push_back(lowSmoothed);
}

}  // namespace beat
