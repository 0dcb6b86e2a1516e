// Reading MPEG audio (MPEG 1, 2 and 2.5, layers I to III, with or without ID3 tags)
// through libmpg123.
#pragma once

#include <memory>

#include "audioengine/StereoInput.h"
#include "audioengine/FileRange.h"

namespace audioengine {

// A stereo input over an MPEG audio file, its length taken from a scan of every frame
// (encoder delay and padding removed when the file records them). nullptr when
// libmpg123 finds no audio in it.
std::unique_ptr<StereoInput> OpenMp3(std::unique_ptr<FileRange> file);

}  // namespace audioengine
