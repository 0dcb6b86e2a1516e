// MP3 files damaged the way real files are (garbage and false headers between frames,
// joined files of two rates, a cut last frame, junk before the first frame, large and
// trailing tags) decode as long as the mpg123 program decodes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

// The files of scripts/make-damaged-mp3.sh and the seconds mpg123 decodes from each:
// made by the test run (TEMPOSCOUT_DAMAGED_MP3 names the folder; the Windows build's
// runs get it that way) or, natively, made here.
class DamagedMp3 : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    if (const char* given = std::getenv("TEMPOSCOUT_DAMAGED_MP3"); given != nullptr && *given != '\0') {
      folder_ = given;
    } else if (HaveTool("lame") && HaveTool("mpg123") && HaveTool("sox")) {
      made_ = std::make_unique<ScratchDir>();
      folder_ = made_->File("");
      if (RunCommand(std::string("'") + TEMPOSCOUT_SCRIPTS_DIR + "/make-damaged-mp3.sh' '" + folder_ + "'") != 0)
        folder_.clear();
    }
    std::ifstream list(folder_ + "/expected.txt");
    std::string name;
    double seconds = 0.0;
    while (list >> name >> seconds) expected_[name] = seconds;
  }
  static void TearDownTestSuite() { made_.reset(); }

  static inline std::unique_ptr<ScratchDir> made_;
  static inline std::string folder_;
  static inline std::map<std::string, double> expected_;
};

TEST_P(DamagedMp3, DecodesAsLongAsMpg123) {
  if (expected_.empty()) GTEST_SKIP() << "the damaged files need lame, sox and mpg123";
  ASSERT_EQ(expected_.count(GetParam()), 1u);
  const double reference = expected_[GetParam()];
  const std::string path = folder_ + "/" + GetParam() + ".mp3";
  const uint32_t source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(source, 0u) << "error " << BASS_ErrorGetCode();
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  const uint64_t length = BASS_ChannelGetLength(tempo);
  const std::vector<int16_t> out = ReadToEnd(tempo, 441);
  const double seconds = static_cast<double>(out.size()) / 2.0 / 44100.0;
  std::cout << GetParam() << ": " << seconds << " s, mpg123 " << reference << " s\n";
  EXPECT_NEAR(seconds, reference, reference * 0.01);
  EXPECT_NEAR(static_cast<double>(length) / 4.0 / 44100.0, seconds, reference * 0.01);
  BASS_StreamFree(tempo);
}

INSTANTIATE_TEST_SUITE_P(Engine, DamagedMp3,
                         ::testing::Values("clean", "garbage-between", "false-header", "joined-rates", "three-rates",
                                           "truncated", "junk-before", "cover-id3v2", "ape-id3v1"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           std::string name = p.param;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
