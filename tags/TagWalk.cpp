// The strict walk of ID3v2 tags and of the MP3, RIFF and FORM structure around them. Every
// rule that refuses a file names a structure TagLib reads differently from the standards
// (and so would rewrite wrongly) or that this walk cannot account for byte by byte.
#include "tags/TagWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tags {

namespace {

constexpr size_t kBlockBytes = 1 << 16;
// An APE tag holds a few texts and perhaps a cover; anything larger is not read.
constexpr uint64_t kMaxApeTagBytes = 64 << 20;
// A ds64 chunk is 28 bytes and a short table; anything larger is not read.
constexpr uint64_t kMaxDs64Bytes = 1 << 20;

uint32_t BigEndian(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

uint32_t LittleEndian32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint64_t LittleEndian64(const uint8_t* bytes) {
  return LittleEndian32(bytes) | static_cast<uint64_t>(LittleEndian32(bytes + 4)) << 32;
}

bool IsSyncsafe(const uint8_t* bytes, int count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b < 0x80; });
}

// Seven bits a byte, the top bit of each always clear, so the number never looks like an
// MPEG frame sync.
uint32_t Syncsafe(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 7 | (bytes[i] & 0x7F);
  return value;
}

std::string At(uint64_t offset) {
  return " at byte " + std::to_string(offset);
}

bool StartsWith(const Bytes& bytes, const char* text) {
  const size_t length = std::strlen(text);
  return bytes.size() >= length && std::memcmp(bytes.data(), text, length) == 0;
}

bool IsFrameIdByte(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsFrameId(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, IsFrameIdByte);
}

// Undoes unsynchronisation: every 0xFF 0x00 pair becomes 0xFF. `dropped`, when given,
// receives for every zero left out the position in the result of the byte after it.
Bytes Resynchronised(const uint8_t* bytes, size_t lengthBytes, std::vector<size_t>* dropped) {
  Bytes out;
  out.reserve(lengthBytes);
  for (size_t i = 0; i < lengthBytes; ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && i + 1 < lengthBytes && bytes[i + 1] == 0) {
      ++i;
      if (dropped != nullptr) dropped->push_back(out.size());
    }
  }
  return out;
}

// The offset of the first byte at or after `offset` that is not zero (the size when none).
uint64_t SkipZeros(const ByteSource& file, uint64_t offset) {
  for (;;) {
    const Bytes block = file.ReadUpTo(offset, kBlockBytes);
    if (block.empty()) return offset;
    const auto nonZero = std::find_if(block.begin(), block.end(), [](uint8_t b) { return b != 0; });
    offset += static_cast<uint64_t>(nonZero - block.begin());
    if (nonZero != block.end()) return offset;
  }
}

bool AllZero(const ByteSource& file, uint64_t offset, uint64_t lengthBytes) {
  for (uint64_t done = 0; done < lengthBytes;) {
    const Bytes block =
        file.ReadUpTo(offset + done, static_cast<size_t>(std::min<uint64_t>(lengthBytes - done, kBlockBytes)));
    if (block.empty() || std::any_of(block.begin(), block.end(), [](uint8_t b) { return b != 0; })) return false;
    done += block.size();
  }
  return true;
}

struct Id3Parse {
  Id3Tag tag;
  std::string refusal;
};

// The ID3v2.4 frame size TagLib takes: the syncsafe one, unless no frame ID follows it and
// one follows the size read as a plain number (how iTunes once wrote them).
bool TagLibReadsPlainSize(const Bytes& body, size_t frameAt, uint32_t syncsafeBytes, uint32_t plainBytes) {
  if (syncsafeBytes <= 127) return false;
  const auto idAt = [&](uint64_t at) { return at + 4 <= body.size() && IsFrameId(body.data() + at, 4); };
  return !idAt(uint64_t{frameAt} + 10 + syncsafeBytes) && idAt(uint64_t{frameAt} + 10 + plainBytes);
}

// Walks the frames of an ID3v2 tag body (unsynchronisation already undone in ID3v2.2 and
// 2.3). `fileOffsetOf` turns a position in `body` into an offset in the file.
template <typename OffsetOf>
std::string WalkFrames(const Bytes& body, Id3Tag& tag, const std::string& tagName, OffsetOf fileOffsetOf) {
  const int major = tag.majorVersion;
  const size_t idBytes = major == 2 ? 3 : 4;
  const size_t headerBytes = major == 2 ? 6 : 10;
  const bool tagUnsynchronised = (tag.flags & 0x80) != 0;
  const bool footer = major == 4 && (tag.flags & 0x10) != 0;
  // Flags the version defines: 2.3 %abc00000 %ijk00000; 2.4 %0abc0000 %0h00kmnp.
  const uint16_t knownFlags = major == 3 ? 0xE0E0 : 0x704F;
  size_t at = 0;
  while (at < body.size()) {
    if (body[at] == 0) {
      const auto stray =
          std::find_if(body.begin() + static_cast<std::ptrdiff_t>(at), body.end(), [](uint8_t b) { return b != 0; });
      if (stray != body.end()) {
        const size_t strayAt = static_cast<size_t>(stray - body.begin());
        return "byte " + std::to_string(fileOffsetOf(strayAt)) + " inside the padding of " + tagName +
               " is not zero (trailing bytes that are neither a frame nor padding)";
      }
      tag.paddingBytes = body.size() - at;
      break;
    }
    const uint64_t frameOffset = fileOffsetOf(at);
    if (body.size() - at < headerBytes) {
      return std::to_string(body.size() - at) + " bytes" + At(frameOffset) + " at the end of " + tagName +
             " are neither a frame nor padding";
    }
    // TagLib takes a footer's 10 bytes off the frames as well, though the tag's size never
    // counted them, so it stops reading 10 bytes early.
    if (footer && at + headerBytes + 10 >= body.size()) {
      return "a frame" + At(frameOffset) + " in the last bytes of " + tagName +
             ", which has a footer (TagLib does not read that far)";
    }
    const uint8_t* header = body.data() + at;
    if (major >= 3 && header[3] == 0 && IsFrameId(header, 3)) {
      return "an ID3v2.2 frame ID " + Quoted(header, 3) + At(frameOffset) + " inside " + tagName;
    }
    if (!IsFrameId(header, idBytes)) {
      return "an invalid frame ID " + Quoted(header, idBytes) + At(frameOffset) + " in " + tagName;
    }
    const std::string id(reinterpret_cast<const char*>(header), idBytes);
    if (major == 2 && !IsKnownV22FrameId(id)) {
      return "an unknown ID3v2.2 frame ID " + Quoted(id) + At(frameOffset) + " in " + tagName;
    }
    uint32_t sizeBytes = 0;
    uint16_t flags = 0;
    if (major == 2) {
      sizeBytes = BigEndian(header + 3, 3);
    } else {
      if (major == 4 && !IsSyncsafe(header + 4, 4)) {
        return "the size of frame " + id + At(frameOffset) + " is not a syncsafe number";
      }
      sizeBytes = major == 4 ? Syncsafe(header + 4, 4) : BigEndian(header + 4, 4);
      flags = static_cast<uint16_t>(header[8] << 8 | header[9]);
      if ((flags & ~knownFlags) != 0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(flags));
        return "frame " + id + At(frameOffset) + " has flags 0x" + hex + " that ID3v2." + std::to_string(major) +
               " does not define";
      }
    }
    if (sizeBytes == 0) return "frame " + id + At(frameOffset) + " is empty (TagLib stops reading the tag there)";
    if (major == 4 && (flags & 0x0001) != 0 && sizeBytes <= 4) {
      return "frame " + id + At(frameOffset) + " has a data length but no data (TagLib stops reading the tag there)";
    }
    if (sizeBytes > body.size() - at - headerBytes) {
      return "frame " + id + At(frameOffset) + " (" + std::to_string(sizeBytes) + " bytes) runs past the end of " +
             tagName;
    }
    if (major == 4 && TagLibReadsPlainSize(body, at, sizeBytes, BigEndian(header + 4, 4))) {
      return "the size of frame " + id + At(frameOffset) + " reads two ways (TagLib would take it as a plain number)";
    }
    Id3Frame frame;
    frame.id = id;
    frame.flags = flags;
    frame.offset = frameOffset;
    const uint8_t* payload = header + headerBytes;
    // ID3v2.4 unsynchronises frame by frame; TagLib also undoes it in every frame when the
    // tag header says so.
    if (major == 4 && (tagUnsynchronised || (flags & 0x0002) != 0)) {
      frame.payload = Resynchronised(payload, sizeBytes, nullptr);
    } else {
      frame.payload.assign(payload, payload + sizeBytes);
    }
    tag.frames.push_back(std::move(frame));
    at += headerBytes + sizeBytes;
  }
  return {};
}

// Walks the ID3v2 tag at `offset` (whose "ID3" has been seen), which must end within
// `availableBytes` of it.
Id3Parse WalkId3v2(const ByteSource& file, uint64_t offset, uint64_t availableBytes) {
  Id3Parse result;
  Id3Tag& tag = result.tag;
  tag.offset = offset;
  uint8_t header[10];
  if (availableBytes < 10 || !file.Read(offset, header, 10)) {
    result.refusal = "an ID3v2 tag header" + At(offset) + " is cut short";
    return result;
  }
  tag.majorVersion = header[3];
  tag.revision = header[4];
  tag.flags = header[5];
  const std::string tagName = "the ID3v2." + std::to_string(tag.majorVersion) + " tag" + At(offset);
  if (tag.majorVersion < 2 || tag.majorVersion > 4 || tag.revision == 0xFF) {
    result.refusal = tagName + " has a version this tool does not know";
    return result;
  }
  if (!IsSyncsafe(header + 6, 4)) {
    result.refusal = "the size of " + tagName + " is not a syncsafe number";
    return result;
  }
  const uint32_t bodyBytes = Syncsafe(header + 6, 4);
  const bool footer = tag.majorVersion == 4 && (tag.flags & 0x10) != 0;
  tag.totalBytes = 10 + uint64_t{bodyBytes} + (footer ? 10 : 0);
  // Flags the version defines: 2.2 %ab000000; 2.3 %abc00000; 2.4 %abcd0000.
  const uint8_t knownFlags = tag.majorVersion == 2 ? 0xC0 : tag.majorVersion == 3 ? 0xE0 : 0xF0;
  if ((tag.flags & ~knownFlags) != 0) {
    result.refusal = tagName + " has header flags its version does not define";
    return result;
  }
  if (tag.majorVersion == 2 && (tag.flags & 0x40) != 0) {
    result.refusal = tagName + " is compressed, which ID3v2.2 never defined";
    return result;
  }
  if (tag.totalBytes > availableBytes) {
    result.refusal = tagName + " (" + std::to_string(tag.totalBytes) + " bytes) runs past the end of " +
                     (availableBytes == file.SizeBytes() - offset ? "the file" : "its chunk");
    return result;
  }
  Bytes stored(bodyBytes);
  if (!file.Read(offset + 10, stored.data(), stored.size())) {
    result.refusal = "cannot read " + tagName;
    return result;
  }
  // ID3v2.2 and 2.3 unsynchronise the whole tag after its header; 2.4 each frame.
  std::vector<size_t> dropped;
  const bool wholeTag = tag.majorVersion <= 3 && (tag.flags & 0x80) != 0;
  const Bytes body = wholeTag ? Resynchronised(stored.data(), stored.size(), &dropped) : std::move(stored);
  if (tag.majorVersion >= 3 && (tag.flags & 0x40) != 0) {
    // TagLib reads every extended header's size as ID3v2.4 does (syncsafe, counting
    // itself), so in ID3v2.3 it starts the frames too early and loses all of them.
    const bool crc = tag.majorVersion == 3 ? body.size() >= 6 && (body[4] & 0x80) != 0
                                           : body.size() >= 6 && body[4] == 1 && (body[5] & 0x20) != 0;
    result.refusal = tagName + " has an extended header" + (crc ? " with a CRC" : "") + ", which TagLib misreads";
    return result;
  }
  const auto fileOffsetOf = [&](size_t at) {
    return offset + 10 + at +
           static_cast<uint64_t>(std::upper_bound(dropped.begin(), dropped.end(), at) - dropped.begin());
  };
  result.refusal = WalkFrames(body, tag, tagName, fileOffsetOf);
  if (!result.refusal.empty()) return result;
  if (footer) {
    uint8_t copy[10];
    if (!file.Read(offset + 10 + bodyBytes, copy, 10) || std::memcmp(copy, "3DI", 3) != 0 ||
        std::memcmp(copy + 3, header + 3, 7) != 0) {
      result.refusal = "the footer of " + tagName + " does not repeat its header";
    }
  }
  return result;
}

bool IsId3(const Bytes& bytes) {
  return StartsWith(bytes, "ID3");
}

// Whether 4 bytes could begin an MPEG audio frame: sync, a version, a layer, a bit rate
// and a sample rate that exist.
bool IsMpegHeader(const uint8_t* bytes) {
  return bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0 && ((bytes[1] >> 3) & 3) != 1 && ((bytes[1] >> 1) & 3) != 0 &&
         (bytes[2] >> 4) != 0xF && ((bytes[2] >> 2) & 3) != 3;
}

// Where TagLib would find an ID3v2 tag in a file that does not begin with one: it looks
// for "ID3" up to the first MPEG frame.
std::optional<uint64_t> Id3BeforeAudio(const ByteSource& file) {
  for (uint64_t offset = 0;;) {
    const Bytes block = file.ReadUpTo(offset, kBlockBytes);
    if (block.size() < 3) return std::nullopt;
    for (size_t i = 0; i + 3 <= block.size(); ++i) {
      if (std::memcmp(block.data() + i, "ID3", 3) == 0) return offset + i;
      if (IsMpegHeader(block.data() + i)) return std::nullopt;
    }
    if (block.size() < kBlockBytes) return std::nullopt;
    offset += block.size() - 2;
  }
}

// The BPM item of an APE tag at the end of an MP3 (before an ID3v1 tag, if any).
std::string FindApeBpm(const ByteSource& file, std::vector<FoundBpm>& bpms) {
  const uint64_t size = file.SizeBytes();
  uint64_t end = size;
  if (size >= 128 && StartsWith(file.ReadUpTo(size - 128, 3), "TAG")) end = size - 128;
  if (end < 32) return {};
  const Bytes footer = file.ReadUpTo(end - 32, 32);
  if (!StartsWith(footer, "APETAGEX") || footer.size() < 32) return {};
  const uint64_t tagBytes = LittleEndian32(footer.data() + 12);
  const uint32_t items = LittleEndian32(footer.data() + 16);
  if (tagBytes < 32 || tagBytes > end || tagBytes > kMaxApeTagBytes) {
    return "the APE tag" + At(end - 32) + " has a size (" + std::to_string(tagBytes) + " bytes) that does not fit";
  }
  const Bytes body = file.ReadUpTo(end - tagBytes, static_cast<size_t>(tagBytes - 32));
  size_t at = 0;
  for (uint32_t item = 0; item < items; ++item) {
    if (body.size() - at < 8) return "the APE tag" + At(end - 32) + " holds fewer items than it says";
    const uint32_t valueBytes = LittleEndian32(body.data() + at);
    const uint32_t itemFlags = LittleEndian32(body.data() + at + 4);
    const auto keyEnd = std::find(body.begin() + static_cast<std::ptrdiff_t>(at + 8), body.end(), 0);
    if (keyEnd == body.end()) return "the APE tag" + At(end - 32) + " has an item without an end to its key";
    const std::string key(body.begin() + static_cast<std::ptrdiff_t>(at + 8), keyEnd);
    const size_t valueAt = static_cast<size_t>(keyEnd - body.begin()) + 1;
    if (valueBytes > body.size() - valueAt) return "an item of the APE tag" + At(end - 32) + " runs past its end";
    std::string upper = key;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    // Bits 1-2 of an item's flags: 0 for UTF-8 text.
    if (upper == "BPM" && ((itemFlags >> 1) & 3) == 0) {
      bpms.push_back(
          {"APE tag", TrimSpace(std::string(body.begin() + static_cast<std::ptrdiff_t>(valueAt),
                                            body.begin() + static_cast<std::ptrdiff_t>(valueAt + valueBytes)))});
    }
    at = valueAt + valueBytes;
  }
  return {};
}

void AddBpmFrames(const Id3Tag& tag, std::vector<FoundBpm>& bpms) {
  for (const Id3Frame& frame : tag.frames) {
    if (frame.id == BpmFrameId(tag.majorVersion)) bpms.push_back({"ID3v2 tag", FrameText(frame.payload)});
  }
}

TagWalk Refused(TagWalk walk, std::string reason) {
  walk.refusal = std::move(reason);
  return walk;
}

TagWalk WalkMp3(const ByteSource& file) {
  TagWalk walk;
  walk.container = TagContainer::Mp3;
  const uint64_t size = file.SizeBytes();
  uint64_t audioAt = 0;
  if (IsId3(file.ReadUpTo(0, 3))) {
    Id3Parse parsed = WalkId3v2(file, 0, size);
    if (!parsed.refusal.empty()) return Refused(std::move(walk), parsed.refusal);
    audioAt = parsed.tag.totalBytes;
    walk.tag = std::move(parsed.tag);
    // TagLib takes a tag directly behind the first for padding of the first, and writes
    // zeros over it; one after some zeros it leaves for audio. Either may hold a BPM.
    if (IsId3(file.ReadUpTo(audioAt, 3))) {
      return Refused(std::move(walk), "a second ID3v2 tag" + At(audioAt) + " directly follows the first");
    }
    const uint64_t nonZero = SkipZeros(file, audioAt);
    if (IsId3(file.ReadUpTo(nonZero, 3))) {
      return Refused(std::move(walk), "a second ID3v2 tag" + At(nonZero) + " follows the first after " +
                                          std::to_string(nonZero - audioAt) + " zero bytes");
    }
    AddBpmFrames(*walk.tag, walk.bpms);
  } else if (const std::optional<uint64_t> late = Id3BeforeAudio(file)) {
    return Refused(std::move(walk), "an ID3v2 tag" + At(*late) + " rather than at the start of the file");
  }
  walk.untouched.push_back({"audio", audioAt, size - audioAt});
  if (std::string reason = FindApeBpm(file, walk.bpms); !reason.empty()) return Refused(std::move(walk), reason);
  return walk;
}

std::string TempoText(float bpm) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(bpm));
  std::string out = text;
  out.erase(out.find_last_not_of('0') + 1);
  if (out.back() == '.') out.pop_back();
  return out;
}

// The tempo of an ACID loop: a float at byte 20 of the 24-byte `acid` chunk.
void AddAcidTempo(const ByteSource& file, uint64_t bodyAt, uint64_t bodyBytes, std::vector<FoundBpm>& bpms) {
  if (bodyBytes < 24) return;
  const Bytes tempo = file.ReadUpTo(bodyAt + 20, 4);
  if (tempo.size() != 4) return;
  const uint32_t bits = LittleEndian32(tempo.data());
  float bpm = 0;
  std::memcpy(&bpm, &bits, sizeof bpm);
  if (std::isfinite(bpm) && bpm > 0) bpms.push_back({"acid chunk", TempoText(bpm)});
}

// The 64-bit sizes of an RF64 file: its own, its data chunk's and those of its table.
struct Ds64 {
  uint64_t riffBytes = 0;
  uint64_t dataBytes = 0;
  std::vector<std::pair<std::string, uint64_t>> table;
};

std::optional<Ds64> ReadDs64(const ByteSource& file, uint64_t bodyAt, uint64_t bodyBytes) {
  if (bodyBytes < 28 || bodyBytes > kMaxDs64Bytes) return std::nullopt;
  const Bytes body = file.ReadUpTo(bodyAt, static_cast<size_t>(bodyBytes));
  if (body.size() != bodyBytes) return std::nullopt;
  Ds64 ds64;
  ds64.riffBytes = LittleEndian64(body.data());
  ds64.dataBytes = LittleEndian64(body.data() + 8);
  const uint32_t entries = LittleEndian32(body.data() + 24);
  if (entries > (bodyBytes - 28) / 12) return std::nullopt;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* entry = body.data() + 28 + 12 * i;
    ds64.table.emplace_back(std::string(entry, entry + 4), LittleEndian64(entry + 4));
  }
  return ds64;
}

TagWalk WalkChunks(const ByteSource& file, TagContainer container) {
  TagWalk walk;
  walk.container = container;
  const bool wav = container == TagContainer::Wav;
  const uint64_t size = file.SizeBytes();
  const Bytes header = file.ReadUpTo(0, 12);
  if (header.size() < 12) return Refused(std::move(walk), wav ? "not a WAV file" : "not an AIFF file");
  walk.form.assign(header.begin(), header.begin() + 4);
  const std::string formType(header.begin() + 8, header.end());
  // BW64 is RF64 under the name EBU gave it later.
  const bool rf64 = walk.form == "RF64" || walk.form == "BW64";
  if (wav ? (walk.form != "RIFF" && walk.form != "RIFX" && !rf64) || formType != "WAVE"
          : walk.form != "FORM" || (formType != "AIFF" && formType != "AIFC")) {
    return Refused(std::move(walk), wav ? "not a WAV file" : "not an AIFF file");
  }
  const bool bigEndian = walk.form == "RIFX" || walk.form == "FORM";
  const auto sizeField = [bigEndian](const uint8_t* bytes) {
    return bigEndian ? BigEndian(bytes, 4) : LittleEndian32(bytes);
  };
  const uint32_t declared = sizeField(header.data() + 4);
  // Where the container ends by its own account; an RF64 file gives it in its ds64 chunk.
  uint64_t declaredEnd = 8 + uint64_t{declared};
  walk.untouched.push_back({walk.form, 0, 4});
  walk.untouched.push_back({formType, 8, 4});
  const char* dataId = wav ? "data" : "SSND";
  const char* formatId = wav ? "fmt " : "COMM";
  bool haveFormat = false, haveData = false;
  std::optional<Ds64> ds64;
  std::optional<uint64_t> id3ChunkAt;
  std::string id3ChunkId;
  uint64_t at = 12;
  bool missingPad = false;
  while (at < std::min(size, declaredEnd)) {
    const uint64_t left = std::min(size, declaredEnd) - at;
    if (left < 8) {
      return Refused(std::move(walk),
                     std::to_string(left) + " bytes" + At(at) + " after the last chunk are not a chunk");
    }
    const Bytes chunkHeader = file.ReadUpTo(at, 8);
    if (chunkHeader.size() < 8) return Refused(std::move(walk), "cannot read the chunk" + At(at));
    if (!std::all_of(chunkHeader.begin(), chunkHeader.begin() + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; })) {
      return Refused(std::move(walk), "an invalid chunk ID " + Quoted(chunkHeader.data(), 4) + At(at));
    }
    const std::string id(chunkHeader.begin(), chunkHeader.begin() + 4);
    uint64_t bodyBytes = sizeField(chunkHeader.data() + 4);
    const bool isData = id == dataId;
    if (rf64 && !ds64 && id != "ds64")
      return Refused(std::move(walk), "the first chunk of this " + walk.form + " file is not ds64");
    if (rf64 && ds64 && bodyBytes == 0xFFFFFFFF) {
      const auto entry = std::find_if(ds64->table.begin(), ds64->table.end(),
                                      [&](const std::pair<std::string, uint64_t>& e) { return e.first == id; });
      if (isData) {
        bodyBytes = ds64->dataBytes;
      } else if (entry != ds64->table.end()) {
        bodyBytes = entry->second;
      } else {
        return Refused(std::move(walk),
                       "chunk " + Quoted(id) + At(at) + " has a 64-bit size its ds64 chunk does not give");
      }
    }
    const uint64_t bodyAt = at + 8;
    if (isData && bodyBytes == 0) {
      return Refused(std::move(walk), "the " + id + " chunk" + At(at) +
                                          " has a size of 0 (an unfinished recording, which players read to the end of "
                                          "the file)");
    }
    if (bodyBytes > size - bodyAt) {
      if (isData) {
        return Refused(std::move(walk), "the " + id + " chunk" + At(at) + " says it holds " +
                                            std::to_string(bodyBytes) + " bytes, but the file ends " +
                                            std::to_string(size - bodyAt) + " bytes after its header");
      }
      return Refused(std::move(walk), "chunk " + Quoted(id) + At(at) + " runs past the end of the file");
    }
    const uint64_t bodyEnd = bodyAt + bodyBytes;
    if (rf64 && !ds64) {
      ds64 = ReadDs64(file, bodyAt, bodyBytes);
      if (!ds64) return Refused(std::move(walk), "the ds64 chunk" + At(at) + " cannot be read");
      if (declared == 0xFFFFFFFF) declaredEnd = 8 + ds64->riffBytes;
      // Its first 8 bytes are the file's own size, which a new tag changes.
      walk.untouched.push_back({id, at, 8});
      walk.untouched.push_back({id, bodyAt + 8, bodyBytes - 8});
    } else if (id == "ID3 " || id == "id3 ") {
      if (id3ChunkAt) {
        return Refused(std::move(walk), "more than one ID3 chunk: " + Quoted(id3ChunkId) + At(*id3ChunkAt) + " and " +
                                            Quoted(id) + At(at));
      }
      id3ChunkAt = at;
      id3ChunkId = id;
      if (!IsId3(file.ReadUpTo(bodyAt, 3))) {
        return Refused(std::move(walk), "the " + Quoted(id) + " chunk" + At(at) + " holds no ID3v2 tag");
      }
      Id3Parse parsed = WalkId3v2(file, bodyAt, bodyBytes);
      if (!parsed.refusal.empty()) return Refused(std::move(walk), parsed.refusal);
      const uint64_t tagEnd = bodyAt + parsed.tag.totalBytes;
      if (tagEnd < bodyEnd && IsId3(file.ReadUpTo(tagEnd, 3))) {
        return Refused(std::move(walk), "a second ID3v2 tag" + At(tagEnd) + " in the " + Quoted(id) + " chunk");
      }
      if (!AllZero(file, tagEnd, bodyEnd - tagEnd)) {
        return Refused(std::move(walk), "the " + Quoted(id) + " chunk" + At(at) + " holds bytes after its ID3v2 tag" +
                                            " that are not padding");
      }
      walk.tag = std::move(parsed.tag);
      walk.tagChunkOffset = at;
      AddBpmFrames(*walk.tag, walk.bpms);
    } else {
      walk.untouched.push_back({id, at, 8 + bodyBytes});
      haveFormat = haveFormat || id == formatId;
      haveData = haveData || isData;
      if (wav && id == "acid") AddAcidTempo(file, bodyAt, bodyBytes, walk.bpms);
    }
    at = bodyEnd;
    if (bodyBytes % 2 == 1) {
      // A chunk of odd size is followed by a zero byte; some writers leave it out at the end.
      if (at == size) {
        missingPad = true;
      } else {
        const Bytes pad = file.ReadUpTo(at, 1);
        if (pad.size() != 1 || pad[0] != 0) {
          return Refused(std::move(walk), "the pad byte" + At(at) + " after chunk " + Quoted(id) + " is not zero");
        }
        ++at;
      }
    }
  }
  if (rf64 && !ds64) return Refused(std::move(walk), "this " + walk.form + " file has no ds64 chunk");
  if (!haveFormat) return Refused(std::move(walk), std::string("no ") + Quoted(formatId) + " chunk");
  if (!haveData) return Refused(std::move(walk), std::string("no ") + Quoted(dataId) + " chunk");
  if (at < size) {
    return Refused(std::move(walk), std::to_string(size - at) + " bytes" + At(at) + " after the end of the " +
                                        walk.form + " chunk list (its size says " + std::to_string(declaredEnd) +
                                        " bytes)");
  }
  if (declaredEnd != size && !(missingPad && declaredEnd == size + 1)) {
    return Refused(std::move(walk), "the " + walk.form + " size (" + std::to_string(declaredEnd) +
                                        " bytes) disagrees with the file's size (" + std::to_string(size) + " bytes)");
  }
  return walk;
}

}  // namespace

const char* BpmFrameId(int majorVersion) {
  return majorVersion == 2 ? "TBP" : "TBPM";
}

TagWalk WalkTags(const ByteSource& file, TagContainer container) {
  return container == TagContainer::Mp3 ? WalkMp3(file) : WalkChunks(file, container);
}

}  // namespace tags
