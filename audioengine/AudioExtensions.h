// The file name extensions of the formats the engine decodes, in one list for the
// folder scans, the usage text and the tag writer.
#pragma once

#include <array>
#include <string_view>

namespace audioengine {

// Lower case, without the dot. The engine picks its reader by content, so a file named
// otherwise is still read; these are the names a folder scan looks for.
inline constexpr std::array<std::string_view, 19> kAudioExtensions = {
    "mp3", "mp2", "wav", "flac", "m4a", "m4b", "mp4", "aac", "aif", "aiff",
    "aifc", "ogg", "oga", "opus", "webm", "mka", "wma", "wv", "ape"};

}  // namespace audioengine
