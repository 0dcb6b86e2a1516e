// Several files at once give what one thread gives: the worker scheduling with scripted
// passes whose retries depend on the order, and temposcout-cli --jobs on a mixed list
// against the program's own sequential batch run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tempo/ParallelAnalyser.h"
#include "engine/EngineBinding.h"
#include "tempo/AnalysisState.h"
#include "tempo/BatchDriver.h"
#include "tempo/GainStage.h"
#include "tempo/TrackAnalysis.h"
#include "tests/TestHelpers.h"
#include "tests/cli/CliRunner.h"

namespace {

using clitest::CliRun;
using clitest::RunCli;
using testaudio::ScratchDir;

// A list that never changes, as the tool's own: each row's tempi and pass results.
class FixedList : public tempo::BatchHost {
 public:
  explicit FixedList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  int RowCount() override { return static_cast<int>(paths_.size()); }
  std::string RowPath(int row) override { return paths_[static_cast<size_t>(row)]; }
  bool WriteTempi(int row, uint64_t, const std::string& primary, const std::string& alternative) override {
    rows.push_back(RowPath(row) + " " + primary + " " + alternative);
    return true;
  }
  void SetStatus(const std::string&) override {}
  uint64_t ListGeneration() override { return 0; }
  bool StopRequested() override { return false; }

  std::vector<std::string> rows;

 private:
  std::vector<std::string> paths_;
};

// Scripted passes: "beat" files find a beat at once, "quiet" files need the retry,
// whose result is the slope it finds and which moves the slope on by its own step;
// "broken" files give nothing. Every pass sleeps a random moment so that workers
// finish in a different order each time. Checks what must hold on every thread.
class ScriptedPasses {
 public:
  explicit ScriptedPasses(unsigned seed) : random_(seed) {}

  std::string Run(const std::string& path, int withGainStage, tempo::AnalysisState& state) {
    std::this_thread::sleep_for(std::chrono::microseconds(NextDelay()));
    if (path.rfind("broken", 0) == 0) return {};
    if (withGainStage == 0) return path.rfind("beat", 0) == 0 ? "500|1000" : "0|0";
    if (retriesRunning_.fetch_add(1) != 0) overlaps_.fetch_add(1);
    const float slope = state.CurveSlope();
    const float step = static_cast<float>(std::stoi(path.substr(path.find('-') + 1))) / 1000.0f;
    std::this_thread::sleep_for(std::chrono::microseconds(NextDelay()));
    tempo::BuildGainCurve(state, 100, slope + step, 80);
    retriesRunning_.fetch_sub(1);
    // The slope as a period in ms: 50 at start-up, larger after each quiet file.
    return std::to_string(static_cast<int>(slope * 1000.0f + 0.5f)) + "|0";
  }

  int Overlaps() const { return overlaps_.load(); }

 private:
  int NextDelay() {
    const std::lock_guard lock(mutex_);
    return std::uniform_int_distribution<int>(0, 400)(random_);
  }

  std::mutex mutex_;
  std::mt19937 random_;
  std::atomic<int> retriesRunning_{0};
  std::atomic<int> overlaps_{0};
};

// The reference: one pass after another on one state, as the program's window runs them.
class SequentialPasses : public tempo::TrackAnalyser {
 public:
  SequentialPasses(ScriptedPasses& passes, tempo::AnalysisState& state) : passes_(passes), state_(state) {}
  std::string Analyse(const std::string& path, int withGainStage) override {
    return passes_.Run(path, withGainStage, state_);
  }

 private:
  ScriptedPasses& passes_;
  tempo::AnalysisState& state_;
};

std::vector<std::string> ScriptedList() {
  return {"quiet-3", "beat-a", "broken-a", "quiet-5", "beat-b", "beat-c", "quiet-7", "broken-b",
          "beat-d",  "beat-e", "quiet-2",  "beat-f",  "beat-g", "beat-h", "quiet-4", "beat-i"};
}

std::vector<std::string> RunScripted(unsigned jobs, unsigned seed) {
  const std::vector<std::string> paths = ScriptedList();
  ScriptedPasses passes(seed);
  tempo::AnalysisState retryState;
  EXPECT_EQ(tempo::InitGainCurve(retryState), 1);
  tempo::QuietAnalysisHost host;
  tempo::AnalysisState* const retryAddress = &retryState;
  std::atomic<int> firstPassesOnRetryState{0};
  tempo::ParallelAnalyser analyser(
      paths, jobs, host, retryState,
      [&](const std::string& path, int withGainStage, tempo::AnalysisHost&, tempo::AnalysisState& state) {
        if (withGainStage == 0 && &state == retryAddress) firstPassesOnRetryState.fetch_add(1);
        return tempo::PassResult{passes.Run(path, withGainStage, state)};
      });
  const size_t workers = jobs < paths.size() ? jobs : paths.size();
  EXPECT_EQ(analyser.WorkerCount(), workers > 1 ? workers : 0u);
  FixedList list(paths);
  tempo::RunBatch(list, analyser);
  analyser.Shutdown();
  EXPECT_EQ(passes.Overlaps(), 0) << "two retry passes ran at once";
  EXPECT_EQ(firstPassesOnRetryState.load(), 0);
  EXPECT_EQ(analyser.FilesDone(), paths.size());
  return list.rows;
}

class ScriptedJobsTest : public testing::TestWithParam<unsigned> {};

TEST_P(ScriptedJobsTest, RowsMatchTheSequentialRunWhateverOrderPassesFinishIn) {
  ScriptedPasses passes(1);
  tempo::AnalysisState state;
  ASSERT_EQ(tempo::InitGainCurve(state), 1);
  FixedList reference(ScriptedList());
  SequentialPasses sequential(passes, state);
  tempo::RunBatch(reference, sequential);
  // The retries carry the slope on: 50 ms (1200 BPM), then 53, 58, 65 and 67 ms.
  ASSERT_EQ(reference.rows[0], "quiet-3 1200.00 0.00");
  ASSERT_EQ(reference.rows[1], "beat-a 120.00 60.00");
  ASSERT_EQ(reference.rows[2], "broken-a 0.00 0.00");
  ASSERT_EQ(reference.rows[14], "quiet-4 895.52 0.00");

  for (unsigned seed = 1; seed <= 8; ++seed) {
    EXPECT_EQ(RunScripted(GetParam(), seed), reference.rows) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Jobs, ScriptedJobsTest, testing::Values(1u, 2u, 3u, 8u, 40u));

// A run that stops early (a failed write, Ctrl-C) shuts the workers down at once, also
// while passes would go on for ever unless told to stop; nothing waits after that.
TEST(ParallelAnalyserTest, ShutdownStopsPassesInFlight) {
  const std::vector<std::string> paths = {"beat-a", "endless-b", "endless-c", "beat-d", "beat-e"};
  tempo::AnalysisState retryState;
  tempo::QuietAnalysisHost host;
  std::atomic<int> endless{0};
  std::atomic<int> stopped{0};
  tempo::ParallelAnalyser analyser(
      paths, 3, host, retryState,
      [&](const std::string& path, int, tempo::AnalysisHost& passHost, tempo::AnalysisState&) {
        if (path.rfind("endless", 0) != 0) return tempo::PassResult{"500|0"};
        endless.fetch_add(1);
        while (!passHost.ShouldStop()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopped.fetch_add(1);
        return tempo::PassResult{};
      });
  EXPECT_EQ(analyser.AnalyseRow(0, "beat-a", 0).text, "500|0");
  while (endless.load() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  analyser.Shutdown();
  EXPECT_EQ(stopped.load(), 2);
  EXPECT_EQ(analyser.AnalyseRow(1, "endless-b", 0).text, "");
  EXPECT_EQ(analyser.AnalyseRow(2, "endless-c", 0).text, "");
  EXPECT_EQ(analyser.AnalyseRow(2, "endless-c", 1).text, "") << "no retry is handed out after the shutdown";
}

// The same list through the real engine: click tracks at several tempi, quiet files
// whose retry pass moves the gain curve's slope up (faint noise) or down (loud noise
// that clips), silence, and files that cannot be read.
class CliJobsTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto clicks = [&](const std::string& name, testaudio::ClickWav shape) {
      paths_.push_back(dir_.File(name));
      testaudio::WriteClickWav(paths_.back(), shape);
    };
    const auto broken = [&](const std::string& name, const std::string& content) {
      paths_.push_back(dir_.File(name));
      if (!content.empty()) std::ofstream(paths_.back(), std::ios::binary) << content;
    };
    clicks("faint1.wav", {.periodMs = 510.0, .seconds = 10.0, .noiseAmplitude = 2, .clicks = false});
    clicks("beat120.wav", {.periodMs = 500.0, .seconds = 15.0});
    clicks("masked700.wav", {.periodMs = 700.0, .seconds = 15.0, .noiseAmplitude = 10000});
    broken("notes.mp3", "these are liner notes, not audio\n");
    clicks("beat100.wav", {.periodMs = 600.0, .seconds = 15.0, .rateHz = 48000, .channels = 1});
    clicks("faint2.wav", {.periodMs = 520.0, .seconds = 10.0, .noiseAmplitude = 1, .clicks = false});
    clicks("beat150.wav", {.periodMs = 400.0, .seconds = 15.0, .noiseAmplitude = 3000});
    broken("missing.wav", "");
    clicks("silence.wav", {.seconds = 5.0, .noiseAmplitude = 0, .clicks = false});
    clicks("beat86.wav", {.periodMs = 700.0, .seconds = 15.0, .format = testaudio::SampleFormat::Pcm8});
    clicks("masked1000.wav", {.periodMs = 1000.0, .seconds = 15.0, .noiseAmplitude = 10000});
    clicks("faint3.wav", {.periodMs = 530.0, .seconds = 10.0, .noiseAmplitude = 2, .clicks = false});
    broken("header.wav", std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16));
    clicks("beat128.wav", {.periodMs = 468.75, .seconds = 15.0});
  }

  // The lines the tool writes with --raw, built from the program's own batch run.
  std::vector<std::string> SequentialLines() {
    EXPECT_NE(engine::LoadEngine(), 0u) << "engine library not found beside the test";
    EXPECT_NE(engine::LoadEngineFx(), 0u);
    engine::BASS_Init(-1, 44100, 0, nullptr, nullptr);
    tempo::InitGainCurve();
    struct Recording : tempo::TrackAnalyser {
      std::string Analyse(const std::string& path, int withGainStage) override {
        tempo::QuietAnalysisHost host;
        passes.push_back(tempo::AnalyseTrack(path, withGainStage, host));
        return passes.back();
      }
      std::vector<std::string> passes;
    } analyser;
    struct Lines : FixedList {
      using FixedList::FixedList;
      bool WriteTempi(int row, uint64_t, const std::string& primary, const std::string& alternative) override {
        std::string line = RowPath(row) + "\t" + primary + "\t" + alternative;
        for (size_t pass = 0; pass < 2; ++pass) {
          line += "\t";
          if (pass < recorder->passes.size()) line += recorder->passes[pass].empty() ? "-" : recorder->passes[pass];
        }
        recorder->passes.clear();
        rows.push_back(line);
        return true;
      }
      Recording* recorder = nullptr;
    } list(paths_);
    list.recorder = &analyser;
    tempo::RunBatch(list, analyser);
    slopeAfter_ = tempo::TheAnalysisState().CurveSlope();
    engine::FreeEngine();
    engine::UnloadEngineFx();
    return list.rows;
  }

  ScratchDir dir_;
  std::vector<std::string> paths_;
  float slopeAfter_ = 0.0f;
};

TEST_F(CliJobsTest, EveryJobCountWritesWhatTheSequentialBatchRunGives) {
  const std::vector<std::string> expected = SequentialLines();
  ASSERT_EQ(expected.size(), paths_.size());
  // The list has what it is meant to have: retries that moved the slope, more than one
  // of them, and beats found.
  EXPECT_NE(slopeAfter_, 0.05f);
  int retried = 0;
  int beats = 0;
  for (const std::string& line : expected) {
    const std::vector<std::string> fields = clitest::SplitTabs(line);
    ASSERT_EQ(fields.size(), 5u) << line;
    if (fields[4] != "" && fields[4] != "-") ++retried;
    if (fields[1] != "0.00") ++beats;
  }
  EXPECT_GE(retried, 4);
  EXPECT_GE(beats, 5);

  std::vector<std::string> arguments = {"--raw", "--quiet", "--jobs", ""};
  arguments.insert(arguments.end(), paths_.begin(), paths_.end());
  const CliRun one = [&] {
    arguments[3] = "1";
    return RunCli(arguments);
  }();
  EXPECT_EQ(one.status, 1) << "three files cannot be read";
  EXPECT_EQ(one.Lines(), expected);
  for (const char* jobs : {"2", "3", "8"}) {
    arguments[3] = jobs;
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, one.status) << jobs << " jobs";
    EXPECT_EQ(run.out, one.out) << jobs << " jobs";
    EXPECT_EQ(run.errors, one.errors) << jobs << " jobs";
  }
  // Each first pass feeds an estimator of its own: the whole-track estimates too are the
  // same for any number of jobs.
  std::vector<std::string> estimates = {"--confidence", "--quiet", "--jobs", "1"};
  estimates.insert(estimates.end(), paths_.begin(), paths_.end());
  const CliRun oneEstimate = RunCli(estimates);
  estimates[3] = "8";
  EXPECT_EQ(RunCli(estimates).out, oneEstimate.out);
  EXPECT_NE(oneEstimate.out.find("\t0."), std::string::npos) << oneEstimate.out;
}

}  // namespace
