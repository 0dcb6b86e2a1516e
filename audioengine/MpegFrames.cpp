// Frame header parsing, the search for the first frame and the walk over every frame.
#include "audioengine/MpegFrames.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace audioengine {

namespace {

// Bit rates in kbit/s by [MPEG 1 or not][layer - 1][index].
constexpr uint16_t kBitrates[2][3][15] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                           {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                           {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                          {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr long kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
constexpr size_t kRunFrames = 4;
constexpr size_t kMaxFrameBytes = 2881;  // layer II/III at 384 kbit/s and 8 kHz, padded

bool SameStream(const MpegFrame& a, const MpegFrame& b) {
  return a.version == b.version && a.layer == b.layer && a.rateHz == b.rateHz;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool ReadAt(FileRange& file, uint64_t position, void* buffer, size_t count) {
  return file.Seek(position) && file.Read(buffer, count) == count;
}

// Forward reading in large blocks for walks that look at a few bytes every frame.
class BlockReader {
 public:
  explicit BlockReader(FileRange& file) : file_(file) {}
  // The `count` bytes at `position`, or nullptr past the end of the file.
  const uint8_t* At(uint64_t position, size_t count) {
    if (position < start_ || position + count > start_ + data_.size()) {
      data_.resize(kBlockBytes);
      start_ = position;
      const size_t got = file_.Seek(position) ? file_.Read(data_.data(), data_.size()) : 0;
      data_.resize(got);
      if (count > got) return nullptr;
    }
    return data_.data() + (position - start_);
  }

 private:
  static constexpr size_t kBlockBytes = 256 * 1024;
  FileRange& file_;
  uint64_t start_ = 0;
  std::vector<uint8_t> data_;
};

}  // namespace

bool ParseMpegHeader(const uint8_t* p, MpegFrame& frame) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int versionBits = (p[1] >> 3) & 3;
  const int layerBits = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  if ((p[3] & 3) == 2) return false;  // reserved emphasis
  frame.version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
  frame.layer = 4 - layerBits;
  frame.rateHz = kRates[frame.version][rateIndex];
  const uint32_t bitrate = kBitrates[frame.version == 0 ? 0 : 1][frame.layer - 1][bitrateIndex] * 1000u;
  const uint32_t padding = (p[2] >> 1) & 1u;
  const auto rate = static_cast<uint32_t>(frame.rateHz);
  if (frame.layer == 1)
    frame.bytes = (12 * bitrate / rate + padding) * 4;
  else if (frame.layer == 3 && frame.version != 0)
    frame.bytes = 72 * bitrate / rate + padding;
  else
    frame.bytes = 144 * bitrate / rate + padding;
  return frame.bytes > 4;
}

uint64_t MpegAudioEnd(FileRange& file) {
  uint64_t end = file.SizeBytes();
  uint8_t tail[32];
  if (end >= 128 && ReadAt(file, end - 128, tail, 3) && std::memcmp(tail, "TAG", 3) == 0) end -= 128;
  if (end >= 32 && ReadAt(file, end - 32, tail, 32) && std::memcmp(tail, "APETAGEX", 8) == 0) {
    // The size covers the items and the footer; a header, when flagged, comes before.
    uint64_t tagBytes = Le32(tail + 12);
    if (Le32(tail + 20) & 0x80000000u) tagBytes += 32;
    if (tagBytes <= end) end -= tagBytes;
  }
  return end;
}

bool FindFirstMpegFrame(FileRange& file, uint64_t audioEnd, uint64_t& offset) {
  uint64_t start = 0;
  uint8_t id3[10];
  // ID3v2 tags, possibly more than one, with their syncsafe sizes.
  while (start + 10 <= audioEnd && ReadAt(file, start, id3, sizeof id3) && std::memcmp(id3, "ID3", 3) == 0 &&
         id3[3] != 0xFF && ((id3[6] | id3[7] | id3[8] | id3[9]) & 0x80) == 0) {
    const uint64_t size = uint64_t{id3[6]} << 21 | uint64_t{id3[7]} << 14 | uint64_t{id3[8]} << 7 | id3[9];
    start += 10 + size + ((id3[5] & 0x10) != 0 ? 10 : 0);
  }
  if (start >= audioEnd) return false;
  const size_t window =
      static_cast<size_t>(std::min<uint64_t>(audioEnd - start, kMaxLeadingJunk + kRunFrames * kMaxFrameBytes));
  std::vector<uint8_t> data(window);
  if (!ReadAt(file, start, data.data(), window)) return false;
  const uint64_t searchEnd = std::min<uint64_t>(window, kMaxLeadingJunk);
  for (size_t at = 0; at + 4 <= searchEnd; ++at) {
    if (data[at] != 0xFF) continue;
    MpegFrame first;
    if (!ParseMpegHeader(&data[at], first)) continue;
    uint64_t next = at;
    size_t run = 0;
    for (; run < kRunFrames; ++run) {
      MpegFrame frame;
      if (next + 4 > window || !ParseMpegHeader(&data[next], frame) || !SameStream(frame, first)) break;
      next += frame.bytes;
      if (start + next == audioEnd) {
        run = kRunFrames;  // a short file whose frames fill it exactly
        break;
      }
    }
    if (run == kRunFrames) {
      offset = start + at;
      return true;
    }
  }
  return false;
}

bool MpegFramesUnbroken(FileRange& file, uint64_t offset, uint64_t audioEnd) {
  BlockReader reader(file);
  MpegFrame first;
  bool haveFirst = false;
  uint64_t position = offset;
  while (position < audioEnd) {
    const uint8_t* header = reader.At(position, 4);
    MpegFrame frame;
    if (header == nullptr || !ParseMpegHeader(header, frame)) return false;
    if (!haveFirst) {
      first = frame;
      haveFirst = true;
    } else if (!SameStream(frame, first)) {
      return false;
    }
    position += frame.bytes;
  }
  return position == audioEnd;
}

}  // namespace audioengine
