// WAV files built byte by byte and click tracks.
#include "testaudio/TestAudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

namespace testaudio {

void Append16(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Append24(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Append32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void AppendFloat(Bytes& bytes, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  Append32(bytes, bits);
}
void AppendDouble(Bytes& bytes, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  Append32(bytes, static_cast<uint32_t>(bits));
  Append32(bytes, static_cast<uint32_t>(bits >> 32));
}
void AppendTag(Bytes& bytes, const char* fourChars) {
  bytes.insert(bytes.end(), fourChars, fourChars + 4);
}

Bytes FormatChunk(uint16_t tag, uint16_t channels, uint32_t rateHz, uint16_t bits) {
  Bytes body;
  const uint32_t blockAlign = channels * ((bits + 7u) / 8u);
  Append16(body, tag);
  Append16(body, channels);
  Append32(body, rateHz);
  Append32(body, rateHz * blockAlign);
  Append16(body, blockAlign);
  Append16(body, bits);
  return body;
}

Bytes ExtensibleFormatChunk(uint16_t subTag, uint16_t channels, uint32_t rateHz, uint16_t bits, uint32_t channelMask) {
  Bytes body = FormatChunk(0xFFFE, channels, rateHz, bits);
  Append16(body, 22);
  Append16(body, bits);
  Append32(body, channelMask);
  Append16(body, subTag);
  const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  body.insert(body.end(), std::begin(tail), std::end(tail));
  return body;
}

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes chunk;
  AppendTag(chunk, id);
  Append32(chunk, static_cast<uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}

Bytes RiffWave(const std::vector<Bytes>& chunks) {
  Bytes content;
  AppendTag(content, "WAVE");
  for (const Bytes& chunk : chunks) content.insert(content.end(), chunk.begin(), chunk.end());
  Bytes file;
  AppendTag(file, "RIFF");
  Append32(file, static_cast<uint32_t>(content.size()));
  file.insert(file.end(), content.begin(), content.end());
  return file;
}

Bytes Wav16(uint16_t channels, uint32_t rateHz, const std::vector<int16_t>& samples) {
  Bytes data;
  for (int16_t s : samples) Append16(data, static_cast<uint16_t>(s));
  return RiffWave({Chunk("fmt ", FormatChunk(1, channels, rateHz, 16)), Chunk("data", data)});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

// Sample i of a click's 5 ms 1 kHz burst.
int16_t ClickSample(size_t i, uint32_t rateHz) {
  return static_cast<int16_t>(
      std::lround(20000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * (static_cast<double>(i) + 0.25) / rateHz)));
}

struct StoredFormat {
  uint16_t tag;
  uint16_t bits;
};

StoredFormat Describe(SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm8:
      return {1, 8};
    case SampleFormat::Pcm24:
      return {1, 24};
    case SampleFormat::Float32:
      return {3, 32};
    case SampleFormat::Float64:
      return {3, 64};
    case SampleFormat::Pcm16:
      break;
  }
  return {1, 16};
}

// A 16-bit value in the stored format: 8-bit PCM is unsigned, floats are in [-1, 1).
void AppendSample(Bytes& bytes, SampleFormat format, int16_t value) {
  switch (format) {
    case SampleFormat::Pcm8:
      bytes.push_back(static_cast<uint8_t>((value >> 8) + 128));
      break;
    case SampleFormat::Pcm16:
      Append16(bytes, static_cast<uint16_t>(value));
      break;
    case SampleFormat::Pcm24:
      Append24(bytes, static_cast<uint32_t>(static_cast<int32_t>(value) * 256));
      break;
    case SampleFormat::Float32:
      AppendFloat(bytes, static_cast<float>(value) / 32768.0f);
      break;
    case SampleFormat::Float64:
      AppendDouble(bytes, value / 32768.0);
      break;
  }
}

}  // namespace

std::vector<int16_t> ClickTrack(uint32_t rateHz, double seconds, double periodMs) {
  const size_t frames = static_cast<size_t>(seconds * rateHz);
  const size_t period = static_cast<size_t>(periodMs * rateHz / 1000.0);
  const size_t burst = rateHz / 200;
  std::vector<int16_t> samples(frames, 0);
  for (size_t start = 0; start < frames; start += period) {
    for (size_t i = 0; i < burst && start + i < frames; ++i) samples[start + i] = ClickSample(i, rateHz);
  }
  return samples;
}

void WriteClickWav(const std::string& path, const ClickWav& shape) {
  const StoredFormat stored = Describe(shape.format);
  const size_t frames = static_cast<size_t>(shape.seconds * shape.rateHz);
  // Frames from one click's start to the next, and the frames of its burst; as in
  // ClickTrack, where a later burst overwrites the rest of an earlier one.
  const size_t period = std::max<size_t>(1, static_cast<size_t>(shape.periodMs * shape.rateHz / 1000.0));
  const size_t burst = shape.rateHz / 200;
  const uint64_t dataBytes = uint64_t{frames} * shape.channels * (stored.bits / 8u);
  const Bytes format = Chunk("fmt ", FormatChunk(stored.tag, shape.channels, shape.rateHz, stored.bits));

  Bytes block;
  AppendTag(block, "RIFF");
  Append32(block, static_cast<uint32_t>(4 + format.size() + 8 + dataBytes + dataBytes % 2));
  AppendTag(block, "WAVE");
  block.insert(block.end(), format.begin(), format.end());
  AppendTag(block, "data");
  Append32(block, static_cast<uint32_t>(dataBytes));

  std::ofstream out(path, std::ios::binary);
  auto flush = [&] {
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    block.clear();
  };
  std::mt19937 random(static_cast<unsigned>(shape.periodMs));
  std::uniform_int_distribution<int> noise(-shape.noiseAmplitude, shape.noiseAmplitude);
  for (size_t frame = 0; frame < frames; ++frame) {
    const size_t sinceClick = frame % period;
    const int click = shape.clicks && sinceClick < burst ? ClickSample(sinceClick, shape.rateHz) : 0;
    const auto value = static_cast<int16_t>(click + noise(random));
    for (uint16_t c = 0; c < shape.channels; ++c) AppendSample(block, shape.format, value);
    if (block.size() >= (1u << 16)) flush();
  }
  if (dataBytes % 2 != 0) block.push_back(0);
  flush();
}

std::vector<size_t> ClickFrames(const std::vector<int16_t>& stereo, int threshold, size_t quietFrames) {
  std::vector<size_t> clicks;
  size_t quiet = quietFrames;
  for (size_t frame = 0; 2 * frame < stereo.size(); ++frame) {
    if (std::abs(stereo[2 * frame]) > threshold) {
      if (quiet >= quietFrames) clicks.push_back(frame);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return clicks;
}

}  // namespace testaudio
