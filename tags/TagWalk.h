// A strict walk of the tag structure of an MP3, WAV or AIFF file, made without TagLib: it
// accounts for every byte of the ID3v2 tag (header, frames, padding, footer) and of the
// container around it, or refuses the file with a reason naming what it cannot account for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tags/ByteSource.h"
#include "tags/Id3Names.h"

namespace tags {

// MP3: an ID3v2 tag in front of the audio. WAV: RIFF, RIFX or RF64 (BW64) chunks, the tag in an
// `id3 ` or `ID3 ` chunk. AIFF: FORM chunks (AIFF or AIFC), the tag in an `ID3 ` chunk.
enum class TagContainer { Mp3, Wav, Aiff };

struct Id3Frame {
  std::string id;       // 3 characters in ID3v2.2, 4 in ID3v2.3 and 2.4
  uint16_t flags = 0;   // the two flag bytes as stored (first byte high); 0 in ID3v2.2
  uint64_t offset = 0;  // of the frame's header in the file
  Bytes payload;        // the bytes after the frame header, unsynchronisation undone
};

struct Id3Tag {
  uint64_t offset = 0;      // of the tag's header in the file
  uint64_t totalBytes = 0;  // header, frames, padding and footer
  int majorVersion = 0;     // 2, 3 or 4
  int revision = 0;
  uint8_t flags = 0;  // of the tag header
  uint64_t paddingBytes = 0;
  std::vector<Id3Frame> frames;
};

// Bytes the tag writer does not own, which must come through a write unchanged.
struct Region {
  std::string name;  // "audio" for an MP3; a chunk's ID, or the container's header fields
  uint64_t offset = 0;
  uint64_t lengthBytes = 0;
};

// A tempo the file already holds, and where.
struct FoundBpm {
  std::string where;  // "ID3v2 tag", "APE tag" or "acid chunk"
  std::string text;   // as stored, in UTF-8, without surrounding white space
};

struct TagWalk {
  TagContainer container = TagContainer::Mp3;
  // What the walk could not account for; "" when it accounted for every byte.
  std::string refusal;
  std::string form;               // "RIFF", "RIFX", "RF64", "BW64" or "FORM"; "" for an MP3
  std::optional<Id3Tag> tag;      // the one ID3v2 tag (or ID3 chunk's tag), if any
  uint64_t tagChunkOffset = 0;    // of the ID3 chunk's header, when the tag is in one
  std::vector<Region> untouched;  // every byte outside the tag, in file order
  std::vector<FoundBpm> bpms;     // every BPM the file holds, in any tag or chunk

  bool Accepted() const { return refusal.empty(); }
};

TagWalk WalkTags(const ByteSource& file, TagContainer container);

// The frame ID that holds the tempo in a tag of this version: "TBP" in ID3v2.2, else "TBPM".
const char* BpmFrameId(int majorVersion);

}  // namespace tags
