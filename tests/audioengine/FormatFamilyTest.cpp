// The formats read through FFmpeg, on copies of click-track WAVs made by the ffmpeg
// program: lossless copies decode to the WAV's samples, lossy ones keep the beat period,
// and damaged or unusual files give a result or a clear reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

struct Decoded {
  uint32_t error = 0;  // the engine's error code when the file was refused
  uint64_t lengthBytes = 0;
  std::vector<int16_t> samples;
};

Decoded Decode(const std::string& path) {
  Decoded result;
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (stream == 0) {
    result.error = static_cast<uint32_t>(BASS_ErrorGetCode());
    return result;
  }
  result.lengthBytes = BASS_ChannelGetLength(stream);
  result.samples = ReadToEnd(stream, 441 * 4 * 16);
  BASS_StreamFree(stream);
  return result;
}

// The files of scripts/make-format-family.sh: made by the test run (TEMPOSCOUT_FORMAT_FAMILY
// names the folder; the Windows build's runs get it that way) or, natively, made here.
class FormatFamily : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (const char* given = std::getenv("TEMPOSCOUT_FORMAT_FAMILY"); given != nullptr && *given != '\0') {
      // The Windows build's runs name the folder even when it could not be made.
      if (std::filesystem::exists(std::string(given) + "/click.wav")) folder_ = given;
#ifdef TEMPOSCOUT_MAKE_TEST_WAV
    } else if (HaveTool("ffmpeg")) {
      made_ = std::make_unique<ScratchDir>();
      folder_ = made_->File("");
      if (RunCommand(std::string("'") + TEMPOSCOUT_SCRIPTS_DIR + "/make-format-family.sh' '" +
                     TEMPOSCOUT_MAKE_TEST_WAV + "' '" + folder_ + "' >/dev/null") != 0)
        folder_.clear();
#endif
    }
  }
  static void TearDownTestSuite() { made_.reset(); }
  void SetUp() override {
    if (folder_.empty())
      GTEST_SKIP() << "the files are made with the ffmpeg program and, for Windows, the native build";
  }
  static std::string File(const std::string& name) { return folder_ + "/" + name; }

  static inline std::unique_ptr<ScratchDir> made_;
  static inline std::string folder_;
};

class Lossless : public FormatFamily, public ::testing::WithParamInterface<const char*> {};

// SOURCE.lossless.EXT against SOURCE.wav: the same samples, so the same analysis.
TEST_P(Lossless, DecodesToTheWavSamples) {
  const std::string name = GetParam();
  const Decoded wav = Decode(File(name.substr(0, name.find('.')) + ".wav"));
  const Decoded copy = Decode(File(name));
  ASSERT_EQ(wav.error, 0u);
  ASSERT_EQ(copy.error, 0u) << name;
  ASSERT_GT(wav.samples.size(), 44100u * 2);
  EXPECT_EQ(copy.lengthBytes, wav.lengthBytes);
  EXPECT_TRUE(copy.samples == wav.samples) << name << ": " << copy.samples.size() << " samples against "
                                           << wav.samples.size();
}

INSTANTIATE_TEST_SUITE_P(
    Ffmpeg, Lossless,
    ::testing::Values("click.lossless.flac", "click.lossless.m4a", "click.lossless.wv", "click.lossless.aiff",
                      "click.lossless.oga", "click.lossless.mka", "hires.lossless.flac", "hires.lossless.m4a",
                      "hires.lossless.wv", "hires.lossless.aiff", "mono.lossless.flac", "mono.lossless.m4a",
                      "mono.lossless.wv", "mono.lossless.aiff", "six.lossless.flac", "six.lossless.m4a",
                      "six.lossless.wv",
                      // Every sample format the decoders give: 8-bit, 32-bit, float, double.
                      "byte.lossless.u8.mka", "hires.lossless.s32.mka", "click.lossless.f32.mka",
                      "mono.lossless.f32.mka", "six.lossless.f64.mka", "click.lossless.fltp.wv",
                      "six.lossless.fltp.wv",
                      // Other streams beside the audio are ignored; the moov box may come first.
                      "click.cover.flac", "click.cover.m4a", "click.video.mka", "click.second.mka",
                      "click.faststart.m4a"),
    [](const ::testing::TestParamInfo<const char*>& p) {
      std::string name = p.param;
      for (char& c : name)
        if (c == '.') c = '_';
      return name;
    });

class Lossy : public FormatFamily, public ::testing::WithParamInterface<const char*> {};

// The 120 BPM track's clicks one beat apart to the millisecond, as in the WAV: the same
// tempo. Encoders may shift the whole track by their delay, and ffmpeg's WMA encoder
// loses the first 2048 frames, so one click may be missing at the start.
TEST_P(Lossy, KeepsTheBeatPeriod) {
  const Decoded wav = Decode(File("click.wav"));
  const Decoded copy = Decode(File(GetParam()));
  ASSERT_EQ(copy.error, 0u) << GetParam();
  const std::vector<size_t> expected = ClickFrames(wav.samples, 8000, 4410);
  const std::vector<size_t> found = ClickFrames(copy.samples, 8000, 4410);
  ASSERT_EQ(expected.size(), 40u);
  ASSERT_GE(found.size() + 1, expected.size()) << GetParam();
  ASSERT_LE(found.size(), expected.size()) << GetParam();
  const double period = static_cast<double>(expected[1] - expected[0]);
  for (size_t i = 1; i < found.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(found[i] - found[i - 1]), period, 44.1) << "click " << i;
  }
  // The length within 0.1 s of the original's (encoder delay and padding removed or not).
  EXPECT_NEAR(static_cast<double>(copy.samples.size()), static_cast<double>(wav.samples.size()), 2 * 4410.0);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, Lossy,
                         ::testing::Values("click.lossy.ogg", "click.lossy.opus", "click.lossy.webm",
                                           "click.lossy.m4a", "click.lossy.aac", "click.lossy.wma",
                                           "click.lossy1.wma", "click.lossy.mka"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           std::string name = p.param;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

// Damaged files: a part of the audio, or the engine's reason for refusing the file.
struct Damage {
  const char* name;
  const char* file;
  double minSeconds;  // 0: the file must be refused
  double maxSeconds;
  uint64_t lengthFrames = 0;  // what the engine must report, when not 0
};

class Damaged : public FormatFamily, public ::testing::WithParamInterface<Damage> {};

TEST_P(Damaged, GivesWhatIsThereOrAReason) {
  const Decoded got = Decode(File(GetParam().file));
  if (GetParam().minSeconds == 0) {
    EXPECT_EQ(got.error, static_cast<uint32_t>(BASS_ERROR_FILEFORM));
    return;
  }
  ASSERT_EQ(got.error, 0u);
  const double seconds = static_cast<double>(got.samples.size()) / 2 / 44100;
  EXPECT_GE(seconds, GetParam().minSeconds);
  EXPECT_LE(seconds, GetParam().maxSeconds);
  if (GetParam().lengthFrames != 0) {
    EXPECT_EQ(got.lengthBytes, GetParam().lengthFrames * 4);
  }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, Damaged,
                         ::testing::Values(Damage{"CutFlac", "cut.flac", 8, 20},
                                           Damage{"CutRawAac", "cut.aac", 9, 11},
                                           Damage{"OggMissingPage", "gap.ogg", 18, 20.1},
                                           Damage{"Mp4WithoutMoov", "nomoov.m4a", 0, 0},
                                           Damage{"OnlyFtyp", "onlyftyp.m4a", 0, 0},
                                           Damage{"EmptyFlac", "empty.flac", 0, 0},
                                           Damage{"FlacClaimsHours", "claims-hours.flac", 20, 20, 882000}),
                         [](const ::testing::TestParamInfo<Damage>& p) { return std::string(p.param.name); });

// Float samples round to the nearest 16-bit value (ties to even) and clip; infinities
// clip too and NaN gives silence. Mono goes to both sides alike.
TEST_F(FormatFamily, FloatSamplesRoundAndClip) {
  const Decoded odd = Decode(File("odd.f32.mka"));
  ASSERT_EQ(odd.error, 0u);
  const int16_t expected[] = {32767, -32768, 32767, -32768, 0, 0, 2, -2, 8192};
  const size_t silence = 1233;
  ASSERT_EQ(odd.samples.size(), 2 * (silence + 10 * std::size(expected)));
  for (size_t run = 0; run < std::size(expected); ++run) {
    for (size_t frame = silence + 10 * run; frame < silence + 10 * (run + 1); ++frame) {
      ASSERT_EQ(odd.samples[2 * frame], expected[run]) << "frame " << frame;
      ASSERT_EQ(odd.samples[2 * frame + 1], expected[run]) << "frame " << frame;
    }
  }
}

// The second audio stream is the one marked default: its clicks, not the first's.
TEST_F(FormatFamily, DefaultAudioStreamIsTheOneDecoded) {
  const Decoded both = Decode(File("click.second.mka"));
  ASSERT_EQ(both.error, 0u);
  EXPECT_EQ(ClickFrames(both.samples, 8000, 4410).size(), 40u);
}

// A seek and a restart give the same samples as reading straight through.
TEST_F(FormatFamily, SeekGivesTheSameSamples) {
  for (const char* name : {"click.lossy.ogg", "hires.lossless.flac", "click.lossy.aac"}) {
    const Decoded whole = Decode(File(name));
    const uint32_t stream = BASS_StreamCreateFile(0, File(name).c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u) << name;
    const uint64_t at = 44100 * 4 * 3 + 400;
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, at)) << name;
    const std::vector<int16_t> rest = ReadToEnd(stream, 441 * 4);
    BASS_StreamFree(stream);
    ASSERT_EQ(rest.size(), whole.samples.size() - at / 2) << name;
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.samples.begin() + static_cast<ptrdiff_t>(at / 2)))
        << name;
  }
}

}  // namespace
