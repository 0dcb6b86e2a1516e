// Which file names count as audio for the track list: the one list of extensions the
// folder scans of the program and of the command-line tool test names against.
#pragma once

#include <array>
#include <string_view>

namespace tracklist {

// Upper case; names are compared ignoring the case of a to z.
inline constexpr std::array<std::string_view, 2> kAudioExtensions = {".MP3", ".WAV"};

// True when the name ends, ignoring the case of a to z, with one of the audio extensions.
bool PassesAudioNameTest(std::string_view name);

}  // namespace tracklist
