// Picks the reader for a file by its content and brings its audio to the 16-bit 44100 Hz
// stereo stream every engine stream delivers.
#pragma once

#include <cstdint>
#include <memory>

#include "audioengine/StereoInput.h"

namespace audioengine {

// Passes 44100 Hz input through and resamples any other rate to 44100 Hz.
// Returns nullptr when the rate cannot be resampled.
std::unique_ptr<PcmSource> MakePcmSource(std::unique_ptr<StereoInput> input);

// Opens a file's audio by its content: a RIFF, RIFX, RF64 or BW64 header means WAV and
// nothing else; the signature of a container FFmpeg reads (FLAC, Ogg, MP4, AIFF, ASF,
// Matroska, WavPack, APE) means that reader; anything else is tried as MPEG audio and,
// when that fails, by FFmpeg's demuxers (raw AAC). `offset` and `lengthBytes` (0 = to the
// end) select the part of the file that holds it. nullptr when no reader takes the
// content, with the engine's error code for the reason in `error`.
std::unique_ptr<PcmSource> OpenAudioFile(const char* path, uint64_t offset, uint64_t lengthBytes, int& error);

}  // namespace audioengine
