// The readers' common interface: a file's audio as stereo frames at its own rate, and the
// 16-bit 44100 Hz stereo frames every engine stream delivers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audioengine {

inline constexpr long kOutputRate = 44100;
inline constexpr uint32_t kFrameBytes = 4;  // 16-bit stereo

// A decoded file as stereo frames at its own sample rate. Mono is already duplicated
// and more channels already mixed down to two.
class StereoInput {
 public:
  virtual ~StereoInput() = default;
  virtual long RateHz() const = 0;
  virtual uint64_t LengthFrames() const = 0;
  // Fill up to `frames` frames; fewer only at the end of the audio or on a decoding
  // error. 16-bit samples are rounded and clipped, floats are full scale at +-1.
  virtual size_t ReadInt16(int16_t* stereo, size_t frames) = 0;
  virtual size_t ReadFloat(float* stereo, size_t frames) = 0;
  virtual bool SeekFrame(uint64_t frame) = 0;
};

// 16-bit stereo frames at 44100 Hz: what the engine's streams deliver.
class PcmSource {
 public:
  virtual ~PcmSource() = default;
  virtual uint64_t LengthFrames() const = 0;
  virtual size_t Read(int16_t* stereo, size_t frames) = 0;
  virtual bool SeekFrame(uint64_t frame) = 0;
};

}  // namespace audioengine
