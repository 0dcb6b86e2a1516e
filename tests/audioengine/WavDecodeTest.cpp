// WAV decoding: every sample format and channel layout against hand-worked 16-bit
// stereo results, odd chunks, "to the end" sizes, truncation and resampled timing.
#include <gtest/gtest.h>

#include <functional>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

struct FormatCase {
  const char* name;
  Bytes format;                   // "fmt " body
  std::function<Bytes()> data;    // "data" body
  std::vector<int16_t> expected;  // stereo frames at 44100 Hz
};

std::vector<int16_t> DecodeFile(const std::string& path, uint32_t requestBytes = 441) {
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  EXPECT_NE(stream, 0u);
  if (stream == 0) return {};
  const uint64_t length = BASS_ChannelGetLength(stream);
  std::vector<int16_t> samples = ReadToEnd(stream, requestBytes);
  EXPECT_EQ(samples.size() * 2, length);
  BASS_StreamFree(stream);
  return samples;
}

class WavFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WavFormats, DecodeToExpectedStereoSamples) {
  const FormatCase& c = GetParam();
  ScratchDir dir;
  const std::string path = dir.File("in.wav");
  WriteFile(path, RiffWave({Chunk("fmt ", c.format), Chunk("data", c.data())}));
  EXPECT_EQ(DecodeFile(path), c.expected);
}

// Levels are in 16-bit units. 24-bit x decodes to x / 256 and 32-bit x to x / 65536,
// rounded to nearest with ties to even; floats are scaled by 32768 and clipped.
const FormatCase kFormatCases[] = {
    {"Pcm8Mono",
     FormatChunk(1, 1, 44100, 8),
     [] {
       return Bytes{0, 128, 255, 129};
     },
     {-32768, -32768, 0, 0, 32512, 32512, 256, 256}},
    {"Pcm16Stereo",
     FormatChunk(1, 2, 44100, 16),
     [] {
       Bytes b;
       for (int v : {-32768, 32767, -1, 1, 1234, -4321}) Append16(b, static_cast<uint16_t>(v));
       return b;
     },
     {-32768, 32767, -1, 1, 1234, -4321}},
    {"Pcm24StereoRounds",
     FormatChunk(1, 2, 44100, 24),
     [] {
       Bytes b;
       // 2.5 -> 2 and 3.5 -> 4 (ties to even), 100.39 -> 100, -100.78 -> -101,
       // the largest value clips to 32767.
       for (int v : {2 * 256 + 128, 3 * 256 + 128, 100 * 256 + 100, -(100 * 256 + 200), 0x7FFFFF, -0x800000})
         Append24(b, static_cast<uint32_t>(v));
       return b;
     },
     {2, 4, 100, -101, 32767, -32768}},
    {"Pcm32Mono",
     FormatChunk(1, 1, 44100, 32),
     [] {
       Bytes b;
       for (int64_t v : {int64_t{1000} * 65536 + 30000, int64_t{-1000} * 65536 - 40000, int64_t{0x7FFFFFFF}})
         Append32(b, static_cast<uint32_t>(v));
       return b;
     },
     {1000, 1000, -1001, -1001, 32767, 32767}},
    {"Float32StereoClips",
     FormatChunk(3, 2, 44100, 32),
     [] {
       Bytes b;
       for (float v : {0.5f, -0.25f, 1.5f, -2.0f, 1000.0f / 32768.0f, 0.0f}) AppendFloat(b, v);
       return b;
     },
     {16384, -8192, 32767, -32768, 1000, 0}},
    {"Float64Mono",
     FormatChunk(3, 1, 44100, 64),
     [] {
       Bytes b;
       for (double v : {-0.5, 100.4 / 32768.0}) AppendDouble(b, v);
       return b;
     },
     {-16384, -16384, 100, 100}},
    {"Extensible24ThreeChannels",
     ExtensibleFormatChunk(1, 3, 44100, 24, 0x7),
     [] {
       Bytes b;
       // Front left 300, front right 600, centre 900: each side gets its own speaker
       // plus half the centre, over 1.5.
       for (int v : {300, 600, 900}) Append24(b, static_cast<uint32_t>(v * 256));
       return b;
     },
     {500, 700}},
    {"ExtensibleFloatStereo",
     ExtensibleFormatChunk(3, 2, 44100, 32, 0x3),
     [] {
       Bytes b;
       for (float v : {0.125f, -0.125f}) AppendFloat(b, v);
       return b;
     },
     {4096, -4096}},
    {"FivePointOne",
     FormatChunk(1, 6, 44100, 16),
     [] {
       Bytes b;
       // FL FR C LFE BL BR: left = (FL + C/2 + LFE/2 + BL) / 3, right likewise.
       for (int v : {300, 600, 900, 0, 1200, 0}) Append16(b, static_cast<uint16_t>(v));
       return b;
     },
     {650, 350}},
    {"SevenPointOne",
     FormatChunk(1, 8, 44100, 16),
     [] {
       Bytes b;
       // FL FR C LFE BL BR SL SR: each side has three speakers and two halves.
       for (int v : {400, 0, 800, 0, 400, 0, 400, 800}) Append16(b, static_cast<uint16_t>(v));
       return b;
     },
     {400, 300}},
};

INSTANTIATE_TEST_SUITE_P(Engine, WavFormats, ::testing::ValuesIn(kFormatCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(WavChunks, OddSizedChunkIsSkippedWithItsPadByte) {
  ScratchDir dir;
  const std::string path = dir.File("odd.wav");
  Bytes data;
  for (int v : {11, -11, 22, -22}) Append16(data, static_cast<uint16_t>(v));
  WriteFile(path, RiffWave({Chunk("LIST", Bytes{1, 2, 3}), Chunk("fmt ", FormatChunk(1, 2, 44100, 16)),
                            Chunk("junk", Bytes{9}), Chunk("data", data)}));
  EXPECT_EQ(DecodeFile(path), (std::vector<int16_t>{11, -11, 22, -22}));
}

class WavDataSize : public ::testing::TestWithParam<uint32_t> {};

TEST_P(WavDataSize, MeansToTheEndOfTheFile) {
  ScratchDir dir;
  const std::string path = dir.File("open.wav");
  Bytes file = RiffWave({Chunk("fmt ", FormatChunk(1, 1, 44100, 16))});
  AppendTag(file, "data");
  Append32(file, GetParam());
  for (int v : {5, 6, 7}) Append16(file, static_cast<uint16_t>(v));
  file.push_back(0x55);  // half a frame at the end is dropped
  WriteFile(path, file);
  EXPECT_EQ(DecodeFile(path), (std::vector<int16_t>{5, 5, 6, 6, 7, 7}));
}

INSTANTIATE_TEST_SUITE_P(Engine, WavDataSize, ::testing::Values(0u, 0xFFFFFFFFu));

TEST(WavChunks, TruncatedDataGivesTheWholeFramesThatAreThere) {
  ScratchDir dir;
  const std::string path = dir.File("cut.wav");
  Bytes file = RiffWave({Chunk("fmt ", FormatChunk(1, 2, 44100, 16))});
  AppendTag(file, "data");
  Append32(file, 4000000);
  for (int v : {1, 2, 3, 4, 5}) Append16(file, static_cast<uint16_t>(v));
  WriteFile(path, file);
  EXPECT_EQ(DecodeFile(path), (std::vector<int16_t>{1, 2, 3, 4}));
}

// A click every 500 ms lands every 22050 frames after resampling, and the length is
// the input length scaled by 44100 / rate.
struct RateCase {
  uint32_t rateHz;
  uint16_t channels;
};

class WavResampled : public ::testing::TestWithParam<RateCase> {};

TEST_P(WavResampled, ClicksStay500msApartAndLengthScales) {
  const RateCase c = GetParam();
  ScratchDir dir;
  const std::string path = dir.File("clicks.wav");
  const std::vector<int16_t> mono = ClickTrack(c.rateHz, 10.0, 500.0);
  std::vector<int16_t> samples;
  for (int16_t s : mono) samples.insert(samples.end(), c.channels, s);
  WriteFile(path, Wav16(c.channels, c.rateHz, samples));

  const std::vector<int16_t> out = DecodeFile(path);
  const double expectedFrames = static_cast<double>(mono.size()) * 44100.0 / c.rateHz;
  EXPECT_NEAR(static_cast<double>(out.size() / 2), expectedFrames, 1.0);
  const std::vector<size_t> clicks = ClickFrames(out, 8000, 10000);
  ASSERT_EQ(clicks.size(), 20u);
  for (size_t i = 1; i < clicks.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(clicks[i] - clicks[i - 1]), 22050.0, 2.0) << "click " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, WavResampled,
                         ::testing::Values(RateCase{48000, 1}, RateCase{22050, 2}, RateCase{96000, 2},
                                           RateCase{8000, 1}));

}  // namespace
