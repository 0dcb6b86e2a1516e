// The BPM field of the containers beyond MP3 and WAV (FLAC, Ogg Vorbis, Opus, MP4, ASF,
// AIFF, WavPack, APE): reading it, writing it into a copy and checking that copy.
#pragma once

#include <optional>
#include <string>

namespace tags {

// An .ogg or .oga name is taken as Ogg Vorbis and read as Opus or Ogg FLAC by content.
enum class Container { Flac, OggVorbis, Opus, OggFlac, Mp4, Asf, Aiff, WavPack, Ape };

// The container a file name says, or none for names no container here takes.
std::optional<Container> ContainerOf(const std::string& path);

struct ContainerBpm {
  bool ok = false;
  std::string bpm;     // the file's BPM field, "" when it has none
  std::string reason;  // why the file could not be read, when not ok
};

// Reads the BPM field; opens the file read-only.
ContainerBpm ReadContainerBpm(const std::string& path, Container container);

// Sets the BPM field of the file at copy and saves it; the reason when it could not.
std::string WriteContainerBpm(const std::string& copy, Container container, int bpm);

// Whether copy holds bpm and every other field, picture and audio byte of original:
// the fields as TagLib reads them, the audio by a walk of the container of our own
// (FLAC frames, Ogg packets but the comment, MP4 mdat atoms, ASF objects but the
// header, AIFF chunks but the ID3 one, all but the APEv2 tag). Empty when it does.
std::string CheckContainerCopy(const std::string& original, const std::string& copy, Container container, int bpm);

}  // namespace tags
