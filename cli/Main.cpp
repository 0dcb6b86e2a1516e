// temposcout-cli: measures the tempo of files and folders from the command line with
// the same engine, analysis and batch driver as the program, one line per file.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/TrackSource.h"
#include "engine/EngineBinding.h"
#include "engine/EngineSession.h"
#include "tempo/AnalysisState.h"
#include "tempo/BatchDriver.h"
#include "tempo/GainStage.h"
#include "tempo/TrackAnalysis.h"

namespace {

constexpr const char* kUsage =
    "usage: temposcout-cli [--recursive] [--raw] PATH...\n"
    "Prints one line per audio file: path, primary BPM, alternative BPM (tab-separated).\n"
    "A folder contributes its .mp3 and .wav files; --recursive includes every folder below it.\n"
    "--raw adds the analysis result of each pass (primary|alternative period in ms).\n"
    "Exit status: 0 every file analysed, 1 some could not be read, 2 usage error.\n";

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
  interrupted = true;
}

// Remembers the result text of each pass for --raw.
class RecordingAnalyser : public tempo::TrackAnalyser {
 public:
  explicit RecordingAnalyser(tempo::AnalysisHost& host) : host_(host) {}
  std::string Analyse(const std::string& path, int withGainStage) override {
    std::string result = tempo::AnalyseTrack(path, withGainStage, host_);
    passes.push_back(result);
    return result;
  }
  std::vector<std::string> passes;

 private:
  tempo::AnalysisHost& host_;
};

class StopOnInterrupt : public tempo::QuietAnalysisHost {
 public:
  bool ShouldStop() override { return interrupted; }
};

// The "list" is the command line's files; each result is printed as it is written.
class PrintingList : public tempo::BatchHost {
 public:
  PrintingList(const std::vector<std::string>& paths, RecordingAnalyser& analyser, bool raw)
      : paths_(paths), analyser_(analyser), raw_(raw) {}

  int RowCount() override { return static_cast<int>(paths_.size()); }
  std::string RowPath(int row) override { return paths_[static_cast<size_t>(row)]; }
  bool WriteTempi(int row, uint64_t, const std::string& primary, const std::string& alternative) override {
    const std::string& path = paths_[static_cast<size_t>(row)];
    std::string line = path + "\t" + primary + "\t" + alternative;
    if (raw_) {
      for (const std::string& pass : analyser_.passes) line += "\t" + (pass.empty() ? std::string("-") : pass);
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    // Both passes empty: the engine could not open or decode the file at all.
    bool anyResult = false;
    for (const std::string& pass : analyser_.passes) anyResult = anyResult || !pass.empty();
    if (!anyResult) {
      ++unreadable;
      std::fprintf(stderr, "temposcout-cli: %s: %s\n", path.c_str(), cli::DescribeUnreadable(path).c_str());
    }
    analyser_.passes.clear();
    return true;
  }
  void SetStatus(const std::string&) override {}
  uint64_t ListGeneration() override { return 0; }
  bool StopRequested() override { return interrupted; }

  int unreadable = 0;

 private:
  const std::vector<std::string>& paths_;
  RecordingAnalyser& analyser_;
  bool raw_;
};

}  // namespace

int main(int argc, char** argv) {
  bool recursive = false;
  bool raw = false;
  std::vector<std::string> arguments;
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsDone && std::strcmp(arg, "--") == 0) {
      optionsDone = true;
    } else if (!optionsDone && std::strcmp(arg, "--recursive") == 0) {
      recursive = true;
    } else if (!optionsDone && std::strcmp(arg, "--raw") == 0) {
      raw = true;
    } else if (!optionsDone && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!optionsDone && arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "temposcout-cli: unknown option %s\n%s", arg, kUsage);
      return 2;
    } else {
      arguments.emplace_back(arg);
    }
  }
  if (arguments.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::vector<std::string> paths;
  for (const std::string& argument : arguments) cli::CollectTracks(argument, recursive, paths);

  std::signal(SIGINT, OnInterrupt);
  engine::EngineSession engineSession;
  if (!engineSession.EngineLoaded() || !engineSession.EngineFxLoaded()) {
    std::fprintf(stderr, "temposcout-cli: cannot load the audio engine (%s, %s beside the program)\n",
                 engine::kEngineLibraryName, engine::kEngineFxLibraryName);
  }
  tempo::InitGainCurve();
  engineSession.Initialise(nullptr);

  StopOnInterrupt host;
  RecordingAnalyser analyser(host);
  PrintingList list(paths, analyser, raw);
  tempo::RunBatch(list, analyser);

  if (interrupted) return 130;
  return list.unreadable > 0 ? 1 : 0;
}
