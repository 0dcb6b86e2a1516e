// Every WAV layout the generator writes, read back by the engine's WAV reader and, where
// installed, by ffprobe and ffmpeg: the same rate, channels, frames and samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include "audioengine/FileRange.h"
#include "audioengine/SampleConvert.h"
#include "audioengine/WavReader.h"
#include "tests/TestHelpers.h"

namespace testaudio {
namespace {

using audioengine::SampleKind;

struct LayoutCase {
  const char* name;
  ClickWav shape;
  SampleKind kind;
  unsigned bytesPerSample;
  const char* codec;  // FFmpeg's name of the coding
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

// How far a stored sample may lie from the 16-bit value it was made from.
double Tolerance(SampleFormat format, int value) {
  switch (format) {
    case SampleFormat::Pcm8:
      return 255;
    case SampleFormat::ALaw:
    case SampleFormat::MuLaw:
      return std::abs(value) / 16.0 + 16;
    default:
      return 0;
  }
}

ClickWav Shape(SampleFormat format, uint16_t channels, uint32_t rateHz, WavLayout layout = {}) {
  return {.periodMs = 50.0, .seconds = 0.25, .rateHz = rateHz, .channels = channels, .format = format,
          .offBeatLevel = 0.4, .layout = std::move(layout)};
}

const Bytes kOdd = {'o', 'd', 'd'};

class WavLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(WavLayouts, ReadBackAsWritten) {
  const LayoutCase& c = GetParam();
  ScratchDir dir;
  const std::string path = dir.File("layout.wav");
  WriteClickWav(path, c.shape);
  const size_t frames = static_cast<size_t>(c.shape.seconds * c.shape.rateHz);
  const unsigned channels = c.shape.channels;

  audioengine::FileRange file;
  ASSERT_EQ(file.Open(path.c_str(), 0, 0), audioengine::FileOpenResult::Ok);
  audioengine::WavFormat format;
  ASSERT_TRUE(audioengine::ParseWavHeader(file, format));
  EXPECT_EQ(format.rateHz, static_cast<long>(c.shape.rateHz));
  EXPECT_EQ(format.channels, channels);
  EXPECT_EQ(format.kind, c.kind);
  EXPECT_EQ(format.bytesPerSample, c.bytesPerSample);
  EXPECT_EQ(format.channelMask, c.shape.layout.channelMask.value_or(0));
  ASSERT_EQ(format.dataBytes, uint64_t{frames} * channels * c.bytesPerSample);

  Bytes data(format.dataBytes);
  ASSERT_TRUE(file.Seek(format.dataOffset));
  ASSERT_EQ(file.Read(data.data(), data.size()), data.size());
  std::vector<int16_t> levels;
  ClickSignal signal(c.shape);
  for (size_t frame = 0; frame < frames; ++frame) {
    const int16_t value = signal.Next();
    for (unsigned channel = 0; channel < channels; ++channel) {
      const double level =
          audioengine::SampleLevel(&data[(frame * channels + channel) * c.bytesPerSample], c.kind, c.bytesPerSample);
      ASSERT_LE(std::abs(level - value), Tolerance(c.shape.format, value)) << "frame " << frame;
      levels.push_back(audioengine::RoundToInt16(level));
    }
  }

  // Under Wine, or without FFmpeg's tools, the engine's reader alone checks the file.
  if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) return;
  const std::string probe = dir.File("probe.txt");
  const std::string raw = dir.File("decoded.raw");
  ASSERT_EQ(RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration_ts -of csv=p=0 '" +
                       path + "' > '" + probe + "'"),
            0);
  const Bytes probed = ReadFile(probe);
  std::ostringstream expected;
  expected << c.codec << ',' << c.shape.rateHz << ',' << channels << ',' << frames << '\n';
  EXPECT_EQ(std::string(probed.begin(), probed.end()), expected.str());
  ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -c:a pcm_s16le '" + raw + "'"), 0);
  const Bytes decoded = ReadFile(raw);
  ASSERT_EQ(decoded.size(), levels.size() * 2);
  for (size_t i = 0; i < levels.size(); ++i) {
    ASSERT_EQ(static_cast<int16_t>(decoded[2 * i] | decoded[2 * i + 1] << 8), levels[i]) << "sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Generator, WavLayouts,
    ::testing::Values(
        LayoutCase{"Pcm8Mono", Shape(SampleFormat::Pcm8, 1, 8000), SampleKind::Int, 1, "pcm_u8"},
        LayoutCase{"Pcm16ListAndOddChunkFirst",
                   Shape(SampleFormat::Pcm16, 1, 11025,
                         {.before = {InfoList({{"INAM", "click track"}, {"IART", "seed"}}), Chunk("junk", kOdd)}}),
                   SampleKind::Int, 2, "pcm_s16le"},
        LayoutCase{"Pcm24SixChannels", Shape(SampleFormat::Pcm24, 6, 48000), SampleKind::Int, 3, "pcm_s24le"},
        LayoutCase{"Pcm32", Shape(SampleFormat::Pcm32, 2, 44100), SampleKind::Int, 4, "pcm_s32le"},
        LayoutCase{"Float32ExtraSize", Shape(SampleFormat::Float32, 2, 96000, {.formatExtraSize = true}),
                   SampleKind::Float, 4, "pcm_f32le"},
        LayoutCase{"Float64Mono", Shape(SampleFormat::Float64, 1, 8000), SampleKind::Float, 8, "pcm_f64le"},
        LayoutCase{"ALaw", Shape(SampleFormat::ALaw, 1, 8000), SampleKind::ALaw, 1, "pcm_alaw"},
        LayoutCase{"MuLawStereo", Shape(SampleFormat::MuLaw, 2, 16000), SampleKind::MuLaw, 1, "pcm_mulaw"},
        LayoutCase{"ExtensiblePcm24", Shape(SampleFormat::Pcm24, 2, 48000, {.channelMask = 0x3}), SampleKind::Int, 3,
                   "pcm_s24le"},
        LayoutCase{"ExtensibleFloatSixChannels", Shape(SampleFormat::Float32, 6, 44100, {.channelMask = 0x3F}),
                   SampleKind::Float, 4, "pcm_f32le"},
        LayoutCase{"DataFirstChunksAfter",
                   Shape(SampleFormat::Pcm16, 1, 16000,
                         {.after = {InfoList({{"INAM", "x"}}), Chunk("id3 ", Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0})},
                          .dataBeforeFormat = true}),
                   SampleKind::Int, 2, "pcm_s16le"},
        LayoutCase{"Rf64", Shape(SampleFormat::Pcm16, 2, 44100, {.rf64 = true}), SampleKind::Int, 2, "pcm_s16le"}),
    [](const ::testing::TestParamInfo<LayoutCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace testaudio
