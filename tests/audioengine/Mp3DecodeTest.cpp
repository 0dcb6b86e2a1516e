// MP3 decoding against the mpg123 program's own decode of files that lame makes from
// generated click tracks; lengths, resampled timing and restarts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

struct Mp3Case {
  const char* name;
  uint32_t rateHz;
  uint16_t channels;
  const char* lameOptions;
};

std::vector<int16_t> FromRaw(const Bytes& raw) {
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  }
  return samples;
}

class Mp3Files : public ::testing::TestWithParam<Mp3Case> {
 protected:
  void SetUp() override {
    if (!HaveTool("lame") || !HaveTool("mpg123")) GTEST_SKIP() << "lame and mpg123 are needed";
    const Mp3Case& c = GetParam();
    const std::vector<int16_t> mono = ClickTrack(c.rateHz, 6.0, 500.0);
    std::vector<int16_t> samples;
    for (int16_t s : mono) samples.insert(samples.end(), c.channels, s);
    wav_ = dir_.File("clicks.wav");
    mp3_ = dir_.File("clicks.mp3");
    WriteFile(wav_, Wav16(c.channels, c.rateHz, samples));
    ASSERT_EQ(RunCommand(std::string("lame --quiet ") + c.lameOptions + " '" + wav_ + "' '" + mp3_ + "'"), 0);
  }

  // mpg123's own decode: raw 16-bit stereo at the file's rate.
  std::vector<int16_t> Reference() {
    const std::string raw = dir_.File("reference.raw");
    EXPECT_EQ(RunCommand("mpg123 -q --stereo -e s16 -s '" + mp3_ + "' > '" + raw + "'"), 0);
    return FromRaw(ReadFile(raw));
  }

  ScratchDir dir_;
  std::string wav_;
  std::string mp3_;
};

TEST_P(Mp3Files, MatchMpg123AtItsRateOrKeepTheBeatWhenResampled) {
  const Mp3Case& c = GetParam();
  const uint32_t source = BASS_StreamCreateFile(0, mp3_.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(source, 0u);
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  const uint64_t length = BASS_ChannelGetLength(tempo);
  const std::vector<int16_t> out = ReadToEnd(tempo, 441);
  EXPECT_EQ(out.size() * 2, length);
  const std::vector<int16_t> reference = Reference();
  ASSERT_FALSE(reference.empty());
  if (c.rateHz == 44100) {
    EXPECT_EQ(out, reference);
  } else {
    const double expectedFrames = static_cast<double>(reference.size() / 2) * 44100.0 / c.rateHz;
    EXPECT_NEAR(static_cast<double>(out.size() / 2), expectedFrames, 1.0);
    const std::vector<size_t> clicks = ClickFrames(out, 8000, 10000);
    ASSERT_EQ(clicks.size(), 12u);
    for (size_t i = 1; i < clicks.size(); ++i) {
      EXPECT_NEAR(static_cast<double>(clicks[i] - clicks[i - 1]), 22050.0, 3.0) << "click " << i;
    }
  }
  // A second pass from the start gives the same audio.
  ASSERT_EQ(BASS_ChannelSetPosition(tempo, 0), 1);
  EXPECT_EQ(ReadToEnd(tempo, 4096), out);
  BASS_StreamFree(tempo);
}

INSTANTIATE_TEST_SUITE_P(Engine, Mp3Files,
                         ::testing::Values(Mp3Case{"Stereo44kCbr", 44100, 2, "-b 128"},
                                           Mp3Case{"Mono44kVbr", 44100, 1, "-V 4"},
                                           Mp3Case{"Stereo48kMpeg1", 48000, 2, "-b 192"},
                                           Mp3Case{"Mono22kMpeg2", 22050, 1, "-b 64"},
                                           Mp3Case{"Mono8kMpeg25", 8000, 1, "-b 32"},
                                           Mp3Case{"Stereo44kWithId3v2", 44100, 2, "-b 128 --add-id3v2 --tt Title"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Mp3Tags, Id3v2AndId3v1TagsAroundTheAudioDoNotChangeIt) {
  if (!HaveTool("lame") || !HaveTool("mpg123")) GTEST_SKIP() << "lame and mpg123 are needed";
  ScratchDir dir;
  const std::vector<int16_t> mono = ClickTrack(44100, 3.0, 500.0);
  WriteFile(dir.File("in.wav"), Wav16(1, 44100, mono));
  ASSERT_EQ(RunCommand("lame --quiet -b 96 '" + dir.File("in.wav") + "' '" + dir.File("plain.mp3") + "'"), 0);
  ASSERT_EQ(RunCommand("lame --quiet -b 96 --id3v2-only --tt 'A long title' --ta Artist '" + dir.File("in.wav") +
                       "' '" + dir.File("v2.mp3") + "'"),
            0);
  ASSERT_EQ(RunCommand("lame --quiet -b 96 --id3v1-only --tt Title '" + dir.File("in.wav") + "' '" +
                       dir.File("v1.mp3") + "'"),
            0);
  std::vector<std::vector<int16_t>> decoded;
  for (const char* name : {"plain.mp3", "v2.mp3", "v1.mp3"}) {
    const uint32_t stream = BASS_StreamCreateFile(0, dir.File(name).c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u) << name;
    decoded.push_back(ReadToEnd(stream, 441));
    BASS_StreamFree(stream);
  }
  EXPECT_FALSE(decoded[0].empty());
  EXPECT_EQ(decoded[1], decoded[0]);
  EXPECT_EQ(decoded[2], decoded[0]);
}

// Silent MPEG-1 Layer III frames at 48 kHz and 32 kbit/s, the most sample frames MP3
// holds per byte (1152 in 96): 179 MB of them pass 2^31 sample frames, which 32-bit file
// offsets cannot count.
TEST(Mp3Length, MoreThanTwoToThe31SampleFramesAreCountedWhole) {
  ScratchDir dir;
  const std::string path = dir.File("long.mp3");
  constexpr uint64_t kFrames = (uint64_t{1} << 31) / 1152 + 64;
  constexpr size_t kFrameBytes = 96;
  constexpr size_t kBlockFrames = 4096;
  // Header only: side information and main data all zero decode to silence.
  std::vector<char> block(kFrameBytes * kBlockFrames, 0);
  for (size_t i = 0; i < kBlockFrames; ++i) {
    const std::array<unsigned char, 4> header = {0xFF, 0xFB, 0x14, 0x00};
    std::copy(header.begin(), header.end(), block.begin() + static_cast<std::ptrdiff_t>(i * kFrameBytes));
  }
  {
    std::ofstream out(path, std::ios::binary);
    for (uint64_t written = 0; written < kFrames; written += kBlockFrames) {
      const uint64_t frames = std::min<uint64_t>(kBlockFrames, kFrames - written);
      out.write(block.data(), static_cast<std::streamsize>(frames * kFrameBytes));
    }
    ASSERT_TRUE(out.good());
  }
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  // Resampled to 44100 Hz: 44100/48000 of the file's sample frames, 4 bytes each.
  const double expectedBytes = static_cast<double>(kFrames) * 1152.0 * 44100.0 / 48000.0 * 4.0;
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(stream)), expectedBytes, 2.0 * 1152 * 4);
  EXPECT_NE(BASS_StreamFree(stream), 0);
}

}  // namespace
