// Sample conversion shared by the decoders: any WAV sample to a level in 16-bit units,
// mixing any channel layout down to stereo, and rounding back to 16-bit samples.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audioengine {

// Int: linear PCM; Float: IEEE float; ALaw and MuLaw: 8-bit G.711 companded samples.
enum class SampleKind { Int, Float, ALaw, MuLaw };

// One little-endian sample as a level in 16-bit units (full scale is +-32768).
// 8-bit samples are unsigned with 128 as silence; the others are signed. A-law and
// mu-law bytes expand to the 16-bit values of the G.711 tables.
double SampleLevel(const uint8_t* sample, SampleKind kind, unsigned bytesPerSample);

// Nearest 16-bit sample, ties to even, clipped to the 16-bit range; NaN gives 0.
// Inline: the decoders call it for every sample.
inline int16_t RoundToInt16(double level) {
  if (std::isnan(level)) return 0;
  if (level >= 32767.0) return 32767;
  if (level <= -32768.0) return -32768;
  return static_cast<int16_t>(std::nearbyint(level));
}

// How much of each input channel goes into the left and the right output. Mono goes to
// both sides; left-side speakers go left, right-side ones right, centre ones (centre,
// low-frequency, back centre, top centre) half to each; each side is then scaled so
// its weights add up to 1, so a signal on every channel keeps its level.
struct ChannelWeight {
  double left;
  double right;
};
std::vector<ChannelWeight> StereoMixWeights(unsigned channels, uint32_t channelMask);

// The speaker layout assumed when a file names none (the WAVE default for each count).
uint32_t DefaultChannelMask(unsigned channels);

}  // namespace audioengine
