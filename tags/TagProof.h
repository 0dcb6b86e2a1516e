// The proof that a file written with a new BPM lost nothing: read without TagLib, every
// frame of the original's tag but its BPM is in the copy byte for byte, and every byte
// outside the tag is where it was.
#pragma once

#include <string>

#include "tags/ByteSource.h"
#include "tags/TagWalk.h"

namespace tags {

// Why `copy` is not `original` with only its BPM set to `bpmText`; "" when the proof holds:
// - both files walk without refusal (WalkTags accounts for every byte of each);
// - every frame of the original's tag but its BPM frames is in the copy's tag with the same
//   ID, flags and payload, and the copy holds no other frame but exactly one BPM frame
//   whose text is `bpmText` (frames may come in another order);
// - every region outside the tag (an MP3's audio with any ID3v1 or APE tag after it, every
//   chunk of a WAV or AIFF but the ID3 chunk, the container's header but its size) is in
//   the copy unchanged, in the same order.
// Frames are compared in their meaning-free encodings being equal:
// - unsynchronisation is undone on both sides (and an ID3v2.4 frame's unsynchronisation
//   flag left out), as it only protects the bytes in transit;
// - a text, URL, comment or lyrics frame may gain or lose one string terminator at its
//   very end (TagLib writes none after the last string, mutagen and others one);
// - an ID3v2.2 tag may become ID3v2.3 or 2.4: its frames are compared after the standards'
//   conversion (ConvertedV22FrameId; a PIC frame's "JPG" or "PNG" image format becomes the
//   APIC MIME type "image/jpeg" or "image/png"). A frame without an equivalent fails the
//   proof, as does any other change of version.
std::string ProveBpmWrite(const ByteSource& original, const ByteSource& copy, TagContainer container,
                          const std::string& bpmText);
std::string ProveBpmWrite(const std::string& originalPath, const std::string& copyPath, TagContainer container,
                          const std::string& bpmText);

}  // namespace tags
