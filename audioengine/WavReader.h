// Reading WAVE files (RIFF, big-endian RIFX, RF64 and BW64 past 4 GiB): integer PCM of 8
// to 32 bits, 32 and 64-bit float, A-law and mu-law, plain or WAVE_FORMAT_EXTENSIBLE, 1 to
// 8 channels.
#pragma once

#include <memory>

#include "audioengine/StereoInput.h"
#include "audioengine/FileRange.h"
#include "audioengine/SampleConvert.h"

namespace audioengine {

struct WavFormat {
  SampleKind kind = SampleKind::Int;
  unsigned bytesPerSample = 0;
  unsigned channels = 0;
  long rateHz = 0;
  uint32_t channelMask = 0;
  uint64_t dataOffset = 0;  // from the start of the range
  uint64_t dataBytes = 0;   // whole frames that are really in the file
  bool bigEndian = false;   // RIFX
};

// Sample rates outside this range are refused rather than resampled.
inline constexpr long kMinWavRateHz = 1000;
inline constexpr long kMaxWavRateHz = 768000;

// True when the range starts with "RIFF", "riff", "RIFX", "RF64" or "BW64": such a file
// is a WAV file or nothing, never MPEG audio.
bool LooksLikeWav(FileRange& file);

// Walks the chunks and fills `format` from "fmt " and "data". False for anything this
// reader cannot decode: no format or data chunk, an unknown codec, zero or more than 8
// channels, a rate outside the accepted range, an unsupported sample size. A data size
// of 0 or 0xFFFFFFFF means "to the end of the file"; a data chunk cut short by the end
// of the file keeps the whole frames that are there. In RF64 and BW64 files a data size
// of 0xFFFFFFFF is taken from the "ds64" chunk.
bool ParseWavHeader(FileRange& file, WavFormat& format);

// A stereo input over a WAV file; nullptr when the header is not usable.
std::unique_ptr<StereoInput> OpenWav(std::unique_ptr<FileRange> file);

}  // namespace audioengine
