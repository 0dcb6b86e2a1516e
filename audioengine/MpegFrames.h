// MPEG audio frame headers, read by our own code before libmpg123 sees a file: where
// the first real frame starts, and whether the frames then run unbroken to the end.
#pragma once

#include <cstdint>

#include "audioengine/FileRange.h"

namespace audioengine {

struct MpegFrame {
  int version = 0;  // 0 MPEG 1, 1 MPEG 2, 2 MPEG 2.5
  int layer = 0;    // 1 to 3
  long rateHz = 0;
  uint32_t bytes = 0;  // the whole frame, header included
};

// Reads the 4-byte header at `p`; false for anything that is not a valid header
// (free-format bit rates included).
bool ParseMpegHeader(const uint8_t* p, MpegFrame& frame);

// Junk skipped before the first frame at most, after any ID3v2 tags.
inline constexpr uint64_t kMaxLeadingJunk = 1024 * 1024 + 64 * 1024;

// Where the audio ends: before an ID3v1 tag and an APE tag at the end of the file.
uint64_t MpegAudioEnd(FileRange& file);

// The offset of the first frame that starts a run of four frames of one version, layer
// and rate (or a shorter run that ends exactly at `audioEnd`), searched after the ID3v2
// tags at the start and at most kMaxLeadingJunk bytes into what follows. False when
// there is none: the file is not MPEG audio.
bool FindFirstMpegFrame(FileRange& file, uint64_t audioEnd, uint64_t& offset);

// True when the frames from `offset` follow each other with one version, layer and
// rate and the last one ends exactly at `audioEnd`: nothing between frames, no change
// of rate, no frame cut short.
bool MpegFramesUnbroken(FileRange& file, uint64_t offset, uint64_t audioEnd);

}  // namespace audioengine
