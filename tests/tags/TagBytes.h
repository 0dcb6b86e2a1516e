// ID3v2 tags, MP3s and RIFF/FORM files built byte by byte for the tag walk and proof tests,
// so every malformed case is exactly the bytes it names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/ByteSource.h"

namespace tagbytes {

using tags::Bytes;

inline Bytes Text(const std::string& text, uint8_t encoding = 0) {
  Bytes bytes{encoding};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

// One frame: ID, size (3 bytes in ID3v2.2, syncsafe in 2.4, plain in 2.3), flags, payload.
inline Bytes Frame(int major, const std::string& id, const Bytes& payload, uint16_t flags = 0) {
  Bytes frame(id.begin(), id.end());
  const uint32_t size = static_cast<uint32_t>(payload.size());
  if (major == 2) {
    for (int shift = 16; shift >= 0; shift -= 8) frame.push_back(static_cast<uint8_t>(size >> shift));
  } else {
    for (int i = 3; i >= 0; --i) {
      frame.push_back(static_cast<uint8_t>(major == 4 ? (size >> (7 * i)) & 0x7F : size >> (8 * i)));
    }
    frame.push_back(static_cast<uint8_t>(flags >> 8));
    frame.push_back(static_cast<uint8_t>(flags));
  }
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

// A tag header with `body` (frames, padding) behind it, and a footer when the flags say so.
inline Bytes Tag(int major, const Bytes& body, uint8_t flags = 0) {
  Bytes tag = {'I', 'D', '3', static_cast<uint8_t>(major), 0, flags};
  const uint32_t size = static_cast<uint32_t>(body.size());
  for (int i = 3; i >= 0; --i) tag.push_back(static_cast<uint8_t>((size >> (7 * i)) & 0x7F));
  tag.insert(tag.end(), body.begin(), body.end());
  if (major == 4 && (flags & 0x10) != 0) {
    Bytes footer(tag.begin(), tag.begin() + 10);
    footer[0] = '3';
    footer[1] = 'D';
    footer[2] = 'I';
    tag.insert(tag.end(), footer.begin(), footer.end());
  }
  return tag;
}

inline Bytes Join(std::vector<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Bytes as an unsynchronised tag stores them: a zero after every 0xFF.
inline Bytes Unsynchronised(const Bytes& bytes) {
  Bytes stored;
  for (uint8_t b : bytes) {
    stored.push_back(b);
    if (b == 0xFF) stored.push_back(0);
  }
  return stored;
}

// A tag of frames followed by `paddingBytes` zeros.
inline Bytes TagOf(int major, const std::vector<Bytes>& frames, size_t paddingBytes = 0, uint8_t flags = 0) {
  Bytes body = Join(frames);
  body.resize(body.size() + paddingBytes, 0);
  return Tag(major, body, flags);
}

// MPEG-1 layer III frames of silence (128 kbit/s, 44.1 kHz): a header and zeroed side info.
inline Bytes SilentMp3(int frames) {
  Bytes bytes;
  for (int i = 0; i < frames; ++i) {
    const Bytes header = {0xFF, 0xFB, 0x90, 0x64};
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.resize(bytes.size() + 417 - 4, 0);
  }
  return bytes;
}

inline void Put32(Bytes& bytes, uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
  }
}

// One chunk: ID, size as stated (the body's own unless given), body and a zero pad byte
// after an odd body.
inline Bytes ChunkOf(const std::string& id, const Bytes& body, bool bigEndian = false, int64_t statedBytes = -1) {
  Bytes chunk(id.begin(), id.end());
  Put32(chunk, statedBytes < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(statedBytes), bigEndian);
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}

// A container: form ("RIFF", "RIFX", "RF64", "FORM"), its size (the true one unless
// given), form type and chunks.
inline Bytes Container(const std::string& form, const std::string& type, const std::vector<Bytes>& chunks,
                       int64_t statedBytes = -1) {
  const Bytes content = Join(chunks);
  Bytes file(form.begin(), form.end());
  const bool bigEndian = form == "RIFX" || form == "FORM";
  Put32(file, statedBytes < 0 ? static_cast<uint32_t>(content.size() + 4) : static_cast<uint32_t>(statedBytes),
        bigEndian);
  file.insert(file.end(), type.begin(), type.end());
  file.insert(file.end(), content.begin(), content.end());
  return file;
}

// The body of a 16-bit stereo 44.1 kHz PCM "fmt " chunk.
inline Bytes PcmFormat(bool bigEndian = false) {
  Bytes body;
  const auto put16 = [&](uint16_t v) {
    body.push_back(static_cast<uint8_t>(bigEndian ? v >> 8 : v));
    body.push_back(static_cast<uint8_t>(bigEndian ? v : v >> 8));
  };
  put16(1);
  put16(2);
  Put32(body, 44100, bigEndian);
  Put32(body, 44100 * 4, bigEndian);
  put16(4);
  put16(16);
  return body;
}

// A WAV with a format, a note chunk, a few samples, and an `id3 ` chunk when a tag is given.
inline Bytes WavWith(const Bytes& tag, const std::string& tagChunkId = "id3 ") {
  std::vector<Bytes> chunks = {ChunkOf("fmt ", PcmFormat()), ChunkOf("note", Text("odds")),
                               ChunkOf("data", Bytes(400, 0x11))};
  if (!tag.empty()) chunks.push_back(ChunkOf(tagChunkId, tag));
  return Container("RIFF", "WAVE", chunks);
}

}  // namespace tagbytes
