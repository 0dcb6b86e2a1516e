// The BPM frame written through TagLib as temposcout-cli writes it, into bytes in memory, for
// the proof's tests and fuzzer to check TagLib's real output.
#pragma once

#include "tags/ByteSource.h"
#include "tags/TagWalk.h"

namespace tagtest {

// `file` with its BPM frame set to `bpm` by TagLib: an ID3v2.4 tag stays 2.4, any other
// tag (or none) becomes ID3v2.3, and only the ID3v2 tag is saved. Empty when TagLib
// refuses the file or the save.
tags::Bytes WriteBpmWithTagLib(const tags::Bytes& file, tags::TagContainer container, int bpm);

}  // namespace tagtest
