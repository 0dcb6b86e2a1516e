// Onset strength by log-magnitude spectral flux: a note or a drum hit raises the energy
// of many bins at once, so the sum of the rises in log magnitude marks where it starts.
#include "beat/OnsetEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace beat {

namespace {

// Log compression of the magnitudes, log(1 + C |X|): quiet partials count next to loud
// ones, so a soft hi-hat marks time as well as a kick drum.
constexpr float kLogCompression = 1000.0f;

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
  framesFed_ += frames;
  const int16_t* in = interleavedStereo;
  const int16_t* const end = interleavedStereo + 2 * frames;
  // The group left incomplete by the previous call.
  if (groupFrames_ > 0) {
    for (; groupFrames_ < kDecimation && in != end; ++groupFrames_, in += 2) {
      groupSum_ += static_cast<float>(in[0]) + static_cast<float>(in[1]);
    }
    if (groupFrames_ < kDecimation) return;
    samples_[filled_++] = groupSum_ * kScale;
    groupSum_ = 0.0f;
    groupFrames_ = 0;
    if (filled_ == kWindowSamples) EmitFrame(out, lowOut);
  }
  // Whole groups, straight into the window until it is full.
  constexpr ptrdiff_t kGroupValues = 2 * kDecimation;
  while (end - in >= kGroupValues) {
    const auto groups = std::min(static_cast<size_t>((end - in) / kGroupValues), kWindowSamples - filled_);
    float* target = samples_.data() + filled_;
    // Integer sums are exact and vectorise: eight 16-bit values cannot overflow 32 bits.
    for (size_t g = 0; g < groups; ++g) {
      const int16_t* group = in + g * kGroupValues;
      int32_t sum = 0;
      for (ptrdiff_t k = 0; k < kGroupValues; ++k) sum += group[k];
      target[g] = static_cast<float>(sum) * kScale;
    }
    in += groups * kGroupValues;
    filled_ += groups;
    if (filled_ == kWindowSamples) EmitFrame(out, lowOut);
  }
  for (; in != end; in += 2, ++groupFrames_) groupSum_ += static_cast<float>(in[0]) + static_cast<float>(in[1]);
}

void OnsetEnvelope::EmitFrame(std::vector<float>& out, std::vector<float>& lowOut) {
  for (size_t n = 0; n < kWindowSamples; ++n) frame_[n] = samples_[n] * window_[n];
  // The next window starts a hop later.
  std::copy(samples_.begin() + kHopSamples, samples_.end(), samples_.begin());
  filled_ = kWindowSamples - kHopSamples;
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
  // No smoothing: two overlapping windows per hop already spread a sharp click over
  // neighbouring values, enough to interpolate the periodicity's peaks.
  out.push_back(flux);
  lowOut.push_back(lowFlux);
}

}  // namespace beat
