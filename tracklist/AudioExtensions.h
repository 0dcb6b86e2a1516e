// Which file names count as audio: the one list of extensions the engine decodes, the
// window's subset of it, and the test the folder scans put names to.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace tracklist {

// Lower case, with the dot; names are compared ignoring the case of a to z. The engine
// picks its reader by content, so a file named otherwise is still read when named
// directly; these are the names a folder scan of the command-line tool looks for.
inline constexpr std::array<std::string_view, 19> kAudioExtensions = {
    ".mp3", ".mp2", ".wav", ".flac", ".m4a", ".m4b", ".mp4", ".aac", ".aif", ".aiff",
    ".aifc", ".ogg", ".oga", ".opus", ".webm", ".mka", ".wma", ".wv", ".ape"};

// The window's dialogs and folder scans list MP3 and WAV files only.
inline constexpr std::array<std::string_view, 2> kWindowAudioExtensions = {kAudioExtensions[0], kAudioExtensions[2]};

// True when the name ends, ignoring the case of a to z, with one of the extensions.
bool HasExtensionIn(std::string_view name, std::span<const std::string_view> extensions);

// The window's test: an .mp3 or .wav name.
bool PassesAudioNameTest(std::string_view name);

// The entry of kAudioExtensions that equals extension (with or without its dot),
// ignoring case; empty when it is none of them.
std::string_view FindAudioExtension(std::string_view extension);

}  // namespace tracklist
