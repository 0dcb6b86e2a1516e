// Generated audio: WAV files built byte by byte and click tracks at known tempi, for the
// tests, the tools and the benchmark and fuzzing scripts (through make_test_wav).
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace testaudio {

using Bytes = std::vector<uint8_t>;

void Append16(Bytes& bytes, uint32_t value);
void Append24(Bytes& bytes, uint32_t value);
void Append32(Bytes& bytes, uint32_t value);
void AppendFloat(Bytes& bytes, float value);
void AppendDouble(Bytes& bytes, double value);
void AppendTag(Bytes& bytes, const char* fourChars);

// A "fmt " chunk body. With a channel mask (extensible), the sub-format is the tag.
Bytes FormatChunk(uint16_t tag, uint16_t channels, uint32_t rateHz, uint16_t bits);
Bytes ExtensibleFormatChunk(uint16_t subTag, uint16_t channels, uint32_t rateHz, uint16_t bits, uint32_t channelMask);
// One chunk: id, size, body and the pad byte after an odd-sized body.
Bytes Chunk(const char* id, const Bytes& body);
// "RIFF", size, "WAVE", then the chunks.
Bytes RiffWave(const std::vector<Bytes>& chunks);
// A plain 16-bit PCM WAV.
Bytes Wav16(uint16_t channels, uint32_t rateHz, const std::vector<int16_t>& samples);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// A "LIST" chunk of type "INFO" holding one text entry per (id, text) pair, each text
// ending in a NUL (so an odd length gets its pad byte).
Bytes InfoList(const std::vector<std::pair<std::string, std::string>>& entries);

// Mono 16-bit samples: a 5 ms 1 kHz burst at 20000 every `periodMs`, silence between.
std::vector<int16_t> ClickTrack(uint32_t rateHz, double seconds, double periodMs);
// How WriteClickWav stores each sample: integer PCM, IEEE float or G.711 A-law / mu-law.
enum class SampleFormat { Pcm8, Pcm16, Pcm24, Float32, Float64, Pcm32, ALaw, MuLaw };
// The file around the samples. The default is a plain RIFF file of "fmt " (16 bytes for
// integer PCM and float) and "data".
struct WavLayout {
  // Set: a WAVE_FORMAT_EXTENSIBLE "fmt " with this speaker mask, the sample format's
  // tag as its sub-format.
  std::optional<uint32_t> channelMask{};
  // A plain "fmt " of 18 bytes, ending in a zero extra size (always so for A-law and
  // mu-law, which need it).
  bool formatExtraSize = false;
  // Whole chunks (see Chunk and InfoList) before the first and after the last of "fmt "
  // and "data".
  std::vector<Bytes> before{};
  std::vector<Bytes> after{};
  bool dataBeforeFormat = false;
  // "RF64" with a "ds64" chunk first that holds the real sizes; the RIFF and data sizes
  // say 0xFFFFFFFF.
  bool rf64 = false;
};
// What WriteClickWav writes: the clicks of ClickTrack every periodMs (none when clicks
// is false; every other one at offBeatLevel of the full level) over white noise of
// noiseAmplitude, the same in every channel, stored as format in layout.
struct ClickWav {
  double periodMs = 500.0;
  double seconds = 20.0;
  int noiseAmplitude = 100;
  bool clicks = true;
  uint32_t rateHz = 44100;
  uint16_t channels = 2;
  SampleFormat format = SampleFormat::Pcm16;
  double offBeatLevel = 1.0;
  WavLayout layout{};
};
// The 16-bit value of each frame of a ClickWav, in order, before it is stored in the
// file's sample format.
class ClickSignal {
 public:
  explicit ClickSignal(const ClickWav& shape);
  int16_t Next();

 private:
  uint32_t rateHz_;
  bool clicks_;
  double offBeatLevel_;
  size_t period_;
  size_t burst_;
  size_t frame_ = 0;
  std::mt19937 random_;
  std::uniform_int_distribution<int> noise_;
};
// The one WAV writer for generated audio, in the tests and, through make_test_wav,
// in the scripts and the fuzzing seeds. Writes the click track a block at a time, so
// hours of audio take little memory; the noise is seeded by the period, so the same
// description always gives the same file.
void WriteClickWav(const std::string& path, const ClickWav& shape);

// Frame indices where the left channel rises above `threshold` after at least
// `quietFrames` frames below it.
std::vector<size_t> ClickFrames(const std::vector<int16_t>& stereo, int threshold, size_t quietFrames);

}  // namespace testaudio
