// libFuzzer target for the tag step: random tag bytes in front of a small MP3 or inside a
// WAV's ID3 chunk are walked; when the walk accepts them, TagLib writes a BPM into a copy
// in memory, and either the proof fails (the write would be refused) or the copy really
// holds every original frame, the audio unchanged and the new BPM as TagLib reads it.
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tags/TagProof.h"
#include "tags/TagWalk.h"
#include "tests/tags/TagLibWrite.h"

namespace {

using tags::Bytes;
using tags::TagContainer;

class Silent final : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

void Append32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendChunk(Bytes& file, const char* id, const uint8_t* body, size_t bodyBytes) {
  file.insert(file.end(), id, id + 4);
  Append32(file, static_cast<uint32_t>(bodyBytes));
  file.insert(file.end(), body, body + bodyBytes);
  if (bodyBytes % 2 == 1) file.push_back(0);
}

// Four MPEG-1 layer III frames of silence.
Bytes SilentMp3() {
  Bytes audio;
  for (int i = 0; i < 4; ++i) {
    audio.insert(audio.end(), {0xFF, 0xFB, 0x90, 0x64});
    audio.resize(audio.size() + 413, static_cast<uint8_t>(i));
  }
  return audio;
}

// The first byte picks the file: bit 0 a WAV, bit 1 its chunk "ID3 " rather than "id3 ",
// bit 2 the tag's chunk before the samples.
Bytes FileAround(uint8_t choice, const uint8_t* tag, size_t tagBytes) {
  Bytes file;
  if ((choice & 1) == 0) {
    file.assign(tag, tag + tagBytes);
    const Bytes audio = SilentMp3();
    file.insert(file.end(), audio.begin(), audio.end());
    return file;
  }
  file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const uint8_t format[] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  AppendChunk(file, "fmt ", format, sizeof format);
  const char* id = (choice & 2) ? "ID3 " : "id3 ";
  const uint8_t samples[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  if (choice & 4) AppendChunk(file, id, tag, tagBytes);
  AppendChunk(file, "data", samples, sizeof samples);
  if (!(choice & 4)) AppendChunk(file, id, tag, tagBytes);
  const uint32_t riffBytes = static_cast<uint32_t>(file.size() - 8);
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(riffBytes >> (8 * i));
  return file;
}

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "tag_fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

std::string BpmOf(TagLib::ID3v2::Tag* tag) {
  if (tag == nullptr || tag->frameListMap()["TBPM"].isEmpty()) return {};
  return tag->frameListMap()["TBPM"].front()->toString().to8Bit(true);
}

// The BPM TagLib itself reads in the copy.
std::string TagLibBpm(const Bytes& copy, TagContainer container) {
  TagLib::ByteVector data(reinterpret_cast<const char*>(copy.data()), static_cast<unsigned>(copy.size()));
  TagLib::ByteVectorStream stream(data);
  if (container == TagContainer::Mp3) {
    TagLib::MPEG::File mp3(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    return BpmOf(mp3.ID3v2Tag());
  }
  TagLib::RIFF::WAV::File wav(&stream, false);
  return BpmOf(wav.ID3v2Tag());
}

// What the proof says, checked another way: each original frame's bytes (less a final
// string terminator) are somewhere in the copy, and so is everything outside the tag.
void CheckProofHeld(const tags::TagWalk& before, const Bytes& original, const Bytes& copy, TagContainer container) {
  const tags::TagWalk after = tags::WalkTags(tags::MemoryBytes(copy), container);
  if (!after.Accepted()) Fail("the proof held for a copy the walk refuses", after.refusal);
  if (before.tag) {
    for (const tags::Id3Frame& frame : before.tag->frames) {
      if (frame.id == tags::BpmFrameId(before.tag->majorVersion)) continue;
      size_t from = frame.id == "PIC" ? std::min<size_t>(4, frame.payload.size()) : 0;
      size_t to = frame.payload.size();
      while (to > from && to + 2 > frame.payload.size() && frame.payload[to - 1] == 0) --to;
      if (std::search(copy.begin(), copy.end(), frame.payload.begin() + static_cast<std::ptrdiff_t>(from),
                      frame.payload.begin() + static_cast<std::ptrdiff_t>(to)) == copy.end()) {
        Fail("the proof held, but a frame is not in the copy", frame.id);
      }
    }
  }
  for (const tags::Region& region : before.untouched) {
    const auto begin = original.begin() + static_cast<std::ptrdiff_t>(region.offset);
    if (std::search(copy.begin(), copy.end(), begin, begin + static_cast<std::ptrdiff_t>(region.lengthBytes)) ==
        copy.end()) {
      Fail("the proof held, but a region is not in the copy", region.name);
    }
  }
  if (TagLibBpm(copy, container) != "128")
    Fail("the proof held, but TagLib reads another BPM", TagLibBpm(copy, container));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Silent silent;
  static const bool quiet = (TagLib::setDebugListener(&silent), true);
  (void)quiet;
  if (size < 1) return 0;
  const TagContainer container = (data[0] & 1) ? TagContainer::Wav : TagContainer::Mp3;
  const Bytes original = FileAround(data[0], data + 1, size - 1);
  const tags::TagWalk walk = tags::WalkTags(tags::MemoryBytes(original), container);
  if (!walk.Accepted()) return 0;
  const Bytes copy = tagtest::WriteBpmWithTagLib(original, container, 128);
  if (copy.empty()) return 0;
  if (tags::ProveBpmWrite(tags::MemoryBytes(original), tags::MemoryBytes(copy), container, "128").empty()) {
    CheckProofHeld(walk, original, copy, container);
  }
  return 0;
}
