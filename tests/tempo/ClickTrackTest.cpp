// The whole analysis on real files through the real engine: click tracks at a known
// tempo as WAV and MP3, other layouts, silence, unreadable files, and memory over many
// analyses.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/EngineBinding.h"
#include "tempo/AnalysisState.h"
#include "tempo/BatchDriver.h"
#include "tempo/GainStage.h"
#include "tempo/TempoText.h"
#include "tempo/TrackAnalysis.h"
#include "tests/TestHelpers.h"

namespace tempo {
namespace {

using testaudio::RunCommand;
using testaudio::ScratchDir;

// 5 ms 1 kHz clicks every periodMs over faint white noise, written as a 16-bit WAV.
std::string WriteClicks(const ScratchDir& dir, const std::string& name, testaudio::ClickWav shape) {
  const std::string path = dir.File(name);
  testaudio::WriteClickWav(path, shape);
  return path;
}

class ClickTrackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(engine::LoadEngine(), 0u) << "engine library not found beside the test";
    ASSERT_NE(engine::LoadEngineFx(), 0u);
    InitGainCurve();
    engine::BASS_Init(-1, 44100, 0, nullptr, nullptr);
  }
  static void TearDownTestSuite() {
    engine::FreeEngine();
    engine::UnloadEngineFx();
  }

  std::string Analyse(const std::string& file, int withGainStage = 0) {
    return AnalyseTrack(file, withGainStage, host_);
  }

  ScratchDir dir_;
  QuietAnalysisHost host_;
};

void ExpectHalfSecondBeat(const std::string& result) {
  const auto primary = FieldPeriodMs(ResultField(result, 1));
  ASSERT_TRUE(primary.has_value()) << result;
  EXPECT_NEAR(*primary, 500, 2) << result;
  EXPECT_EQ(ResultField(result, 2), "0") << result;
}

TEST_F(ClickTrackTest, ClicksEveryHalfSecondReadAs120BpmFromWav) {
  ExpectHalfSecondBeat(Analyse(WriteClicks(dir_, "clicks.wav", {.seconds = 60.0})));
}

TEST_F(ClickTrackTest, ClicksEveryHalfSecondReadAs120BpmFromMp3) {
  if (!testaudio::HaveTool("lame")) GTEST_SKIP() << "lame is needed";
  const std::string wav = WriteClicks(dir_, "clicks.wav", {.seconds = 60.0});
  const std::string mp3 = dir_.File("clicks.mp3");
  ASSERT_EQ(RunCommand("lame --quiet -b 192 '" + wav + "' '" + mp3 + "'"), 0);
  ExpectHalfSecondBeat(Analyse(mp3));
}

// The engine resamples and duplicates channels, so a 48 kHz mono file is timed right.
TEST_F(ClickTrackTest, OtherRatesAndMonoAreTimedAs44100Stereo) {
  ExpectHalfSecondBeat(Analyse(WriteClicks(dir_, "mono48k.wav", {.seconds = 60.0, .rateHz = 48000, .channels = 1})));
}

// 100 BPM: a beat every 600 ms.
TEST_F(ClickTrackTest, SlowerTempoGivesItsOwnPeriod) {
  const std::string result = Analyse(WriteClicks(dir_, "clicks600.wav", {.periodMs = 600.0, .seconds = 60.0}));
  const auto primary = FieldPeriodMs(ResultField(result, 1));
  ASSERT_TRUE(primary.has_value()) << result;
  EXPECT_NEAR(*primary, 600, 2) << result;
}

// A list with the bad cases: no onsets at all, an unreadable file, a missing file.
class OneListHost : public BatchHost {
 public:
  explicit OneListHost(std::vector<std::string> files) : paths(std::move(files)) {}
  int RowCount() override { return static_cast<int>(paths.size()); }
  std::string RowPath(int row) override { return paths[static_cast<size_t>(row)]; }
  bool WriteTempi(int, uint64_t, const std::string& p, const std::string& a) override {
    cells.push_back(p + " " + a);
    return true;
  }
  void SetStatus(const std::string&) override {}
  uint64_t ListGeneration() override { return 0; }
  bool StopRequested() override { return false; }
  std::vector<std::string> paths;
  std::vector<std::string> cells;
};

class CountingAnalyser : public TrackAnalyser {
 public:
  std::string Analyse(const std::string& path, int withGainStage) override {
    QuietAnalysisHost host;
    std::string result = AnalyseTrack(path, withGainStage, host);
    passes.push_back(std::to_string(withGainStage) + ":" + result);
    return result;
  }
  std::vector<std::string> passes;
};

TEST_F(ClickTrackTest, FilesWithoutABeatShowZeroAfterTheGainStagePass) {
  const std::string quiet = WriteClicks(dir_, "silence.wav", {.seconds = 10.0, .noiseAmplitude = 0, .clicks = false});
  const std::string text = dir_.File("notes.mp3");
  std::ofstream(text) << "these are liner notes, not audio\n";
  const std::string missing = dir_.File("missing.wav");

  OneListHost list({quiet, text, missing});
  CountingAnalyser analyser;
  RunBatch(list, analyser);
  const std::vector<std::string> cells = {"0.00 0.00", "0.00 0.00", "0.00 0.00"};
  EXPECT_EQ(list.cells, cells);
  const std::vector<std::string> passes = {"0:0|0", "1:0|0", "0:", "1:", "0:", "1:"};
  EXPECT_EQ(analyser.passes, passes);
}

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

#if defined(__SANITIZE_ADDRESS__)
#define TEMPOSCOUT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEMPOSCOUT_ASAN 1
#endif
#endif

// Each analysis releases its streams, buffers and tables: after a warm-up, hundreds
// more analyses leave the resident size where it was.
TEST_F(ClickTrackTest, MemoryStaysFlatOverManyAnalyses) {
#if defined(TEMPOSCOUT_ASAN) || !defined(__linux__)
  GTEST_SKIP() << "resident size is only meaningful natively without AddressSanitizer";
#else
  const std::string wav = WriteClicks(dir_, "short.wav", {.seconds = 2.0});
  for (int i = 0; i < 50; ++i) Analyse(wav, i % 2);
  const long before = ResidentKilobytes();
  for (int i = 0; i < 450; ++i) Analyse(wav, i % 2);
  const long after = ResidentKilobytes();
  EXPECT_LT(after - before, 1024) << "grew from " << before << " kB to " << after << " kB";
#endif
}

}  // namespace
}  // namespace tempo
