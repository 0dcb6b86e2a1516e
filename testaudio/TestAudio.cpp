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

Bytes InfoList(const std::vector<std::pair<std::string, std::string>>& entries) {
  Bytes body;
  AppendTag(body, "INFO");
  for (const auto& [id, text] : entries) {
    const Bytes entry = Chunk(id.c_str(), Bytes(text.c_str(), text.c_str() + text.size() + 1));
    body.insert(body.end(), entry.begin(), entry.end());
  }
  return Chunk("LIST", body);
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
    case SampleFormat::Pcm32:
      return {1, 32};
    case SampleFormat::Float32:
      return {3, 32};
    case SampleFormat::Float64:
      return {3, 64};
    case SampleFormat::ALaw:
      return {6, 8};
    case SampleFormat::MuLaw:
      return {7, 8};
    case SampleFormat::Pcm16:
      break;
  }
  return {1, 16};
}

// G.711 mu-law: the magnitude plus the bias, its segment (the highest set bit above the
// seventh) and the four bits below it, all inverted.
uint8_t MuLaw(int16_t value) {
  const int sign = value < 0 ? 0x80 : 0;
  const int magnitude = std::min(std::abs(static_cast<int>(value)), 32635) + 0x84;
  int segment = 7;
  while (segment > 0 && (magnitude & (0x80 << segment)) == 0) --segment;
  const int mantissa = (magnitude >> (segment + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | segment << 4 | mantissa));
}

// G.711 A-law of the 13-bit value: linear below 32, else the segment and the four bits
// below its highest bit; the sign bit set for positive values, every other bit inverted.
uint8_t ALaw(int16_t value) {
  const int sample = value >> 3;
  const int sign = sample >= 0 ? 0x80 : 0;
  const int magnitude = sample >= 0 ? sample : ~sample;
  int code = magnitude >> 1;
  if (magnitude >= 32) {
    int segment = 1;
    while ((magnitude >> (segment + 5)) != 0) ++segment;
    code = segment << 4 | ((magnitude >> segment) & 0x0F);
  }
  return static_cast<uint8_t>((sign | code) ^ 0x55);
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
    case SampleFormat::Pcm32:
      Append32(bytes, static_cast<uint32_t>(static_cast<int32_t>(value) * 65536));
      break;
    case SampleFormat::Float32:
      AppendFloat(bytes, static_cast<float>(value) / 32768.0f);
      break;
    case SampleFormat::Float64:
      AppendDouble(bytes, value / 32768.0);
      break;
    case SampleFormat::ALaw:
      bytes.push_back(ALaw(value));
      break;
    case SampleFormat::MuLaw:
      bytes.push_back(MuLaw(value));
      break;
  }
}

// The "fmt " chunk of a layout.
Bytes FormatOf(const ClickWav& shape, StoredFormat stored) {
  if (shape.layout.channelMask)
    return Chunk("fmt ", ExtensibleFormatChunk(stored.tag, shape.channels, shape.rateHz, stored.bits,
                                               *shape.layout.channelMask));
  Bytes body = FormatChunk(stored.tag, shape.channels, shape.rateHz, stored.bits);
  if (shape.layout.formatExtraSize || stored.tag > 3) Append16(body, 0);
  return Chunk("fmt ", body);
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

ClickSignal::ClickSignal(const ClickWav& shape)
    : rateHz_(shape.rateHz),
      clicks_(shape.clicks),
      offBeatLevel_(shape.offBeatLevel),
      // Frames from one click's start to the next, and the frames of its burst; as in
      // ClickTrack, where a later burst overwrites the rest of an earlier one.
      period_(std::max<size_t>(1, static_cast<size_t>(shape.periodMs * shape.rateHz / 1000.0))),
      burst_(shape.rateHz / 200),
      random_(static_cast<unsigned>(shape.periodMs)),
      noise_(-shape.noiseAmplitude, shape.noiseAmplitude) {}

int16_t ClickSignal::Next() {
  const size_t sinceClick = frame_ % period_;
  int click = clicks_ && sinceClick < burst_ ? ClickSample(sinceClick, rateHz_) : 0;
  if (offBeatLevel_ != 1.0 && (frame_ / period_) % 2 == 1)
    click = static_cast<int>(std::lround(click * offBeatLevel_));
  ++frame_;
  return static_cast<int16_t>(click + noise_(random_));
}

void WriteClickWav(const std::string& path, const ClickWav& shape) {
  const StoredFormat stored = Describe(shape.format);
  const WavLayout& layout = shape.layout;
  const size_t frames = static_cast<size_t>(shape.seconds * shape.rateHz);
  const uint64_t dataBytes = uint64_t{frames} * shape.channels * (stored.bits / 8u);
  const Bytes format = FormatOf(shape, stored);
  Bytes after = layout.dataBeforeFormat ? format : Bytes();
  for (const Bytes& chunk : layout.after) after.insert(after.end(), chunk.begin(), chunk.end());
  Bytes before;
  for (const Bytes& chunk : layout.before) before.insert(before.end(), chunk.begin(), chunk.end());
  if (!layout.dataBeforeFormat) before.insert(before.end(), format.begin(), format.end());
  // "WAVE" and every chunk but ds64.
  const uint64_t riffBytes = 4 + before.size() + 8 + dataBytes + dataBytes % 2 + after.size();

  Bytes block;
  if (layout.rf64) {
    AppendTag(block, "RF64");
    Append32(block, 0xFFFFFFFF);
    AppendTag(block, "WAVE");
    Bytes sizes;
    for (const uint64_t size : {riffBytes + 36, dataBytes, uint64_t{frames}}) {
      Append32(sizes, static_cast<uint32_t>(size));
      Append32(sizes, static_cast<uint32_t>(size >> 32));
    }
    Append32(sizes, 0);  // no table of other chunks' sizes
    const Bytes ds64 = Chunk("ds64", sizes);
    block.insert(block.end(), ds64.begin(), ds64.end());
  } else {
    AppendTag(block, "RIFF");
    Append32(block, static_cast<uint32_t>(riffBytes));
    AppendTag(block, "WAVE");
  }
  block.insert(block.end(), before.begin(), before.end());
  AppendTag(block, "data");
  Append32(block, layout.rf64 ? 0xFFFFFFFF : static_cast<uint32_t>(dataBytes));

  std::ofstream out(path, std::ios::binary);
  auto flush = [&] {
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    block.clear();
  };
  ClickSignal signal(shape);
  for (size_t frame = 0; frame < frames; ++frame) {
    const int16_t value = signal.Next();
    for (uint16_t c = 0; c < shape.channels; ++c) AppendSample(block, shape.format, value);
    if (block.size() >= (1u << 16)) flush();
  }
  if (dataBytes % 2 != 0) block.push_back(0);
  block.insert(block.end(), after.begin(), after.end());
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
