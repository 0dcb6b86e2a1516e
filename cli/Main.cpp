// temposcout-cli: measures the tempo of files and folders from the command line with
// the same engine, analysis and batch driver as the program, one line per file.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Version.h"
#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/PathList.h"
#include "cli/Progress.h"
#include "cli/ResultFormat.h"
#include "cli/ResultWriter.h"
#include "cli/TrackSource.h"
#include "cli/WholeTrackTempo.h"
#include "engine/CachingLoader.h"
#include "engine/EngineBinding.h"
#include "engine/EngineSession.h"
#include "tempo/AnalysisState.h"
#include "tempo/BatchDriver.h"
#include "platform/Console.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileReplace.h"
#include "platform/TextEncoding.h"
#include "tags/BpmTag.h"
#include "tags/TagStep.h"
#include "tempo/GainStage.h"
#include "tempo/ParallelAnalyser.h"
#include "tempo/Range.h"
#include "tempo/TempoText.h"
#include "tempo/TrackAnalysis.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoEngine = 3;
// The tag library's DLL where it is loaded only when a tag is written, "" where it is
// linked as usual.
constexpr const char* kDelayedTagLibrary = TEMPOSCOUT_DELAYED_TAGLIB;
// What a shell reports for a process ended by SIGPIPE: the reader closed the pipe.
constexpr int kExitReaderGone = 141;

// Says which engine library could not be loaded and where it was looked for. Returns
// false when one is missing: no file can be analysed without both.
bool EngineIsComplete(const engine::EngineSession& session) {
  const std::vector<engine::MissingLibrary> missing = session.MissingLibraries();
  if (missing.empty()) return true;
  std::fprintf(stderr,
               "temposcout-cli: cannot load the audio engine library %s (looked for beside the program, in %s)\n",
               missing.front().fileName.c_str(), missing.front().programFolder.c_str());
  return false;
}

// Used by every worker at once: it only reads the interrupt flag.
class StopOnInterrupt : public tempo::QuietAnalysisHost {
 public:
  bool ShouldStop() override { return cli::Interrupted(); }
};

// Why a file gave no analysis at all: the engine's own reason where it tells one the
// tool can name, else what the system says of the file.
std::string UnreadableReason(const std::string& path, const tempo::TrackTempi& tempi) {
  const int engineError = tempi.passes.empty() ? 0 : tempi.passes.front().engineError;
  if (engineError == engine::kEngineErrorFileForm) return "not an audio file that can be decoded";
  return cli::DescribeUnreadable(path);
}

// The "list" is the command line's files that are analysed; each result goes to the
// writer as it comes, at its place in the whole list (listIndex).
class PrintingList : public tempo::BatchHost {
 public:
  PrintingList(const std::vector<std::string>& paths, const std::vector<size_t>& listIndex, const cli::Options& options,
               const tempo::ParallelAnalyser& workers, cli::ResultWriter& writer, cli::ProgressLine& progress,
               cli::RunCounts& counts)
      : paths_(paths),
        listIndex_(listIndex),
        options_(options),
        workers_(workers),
        writer_(writer),
        progress_(progress),
        counts_(counts) {}

  int RowCount() override { return static_cast<int>(paths_.size()); }
  std::string RowPath(int row) override { return paths_[static_cast<size_t>(row)]; }
  // The tool writes whole results; the driver hands them to WriteResult.
  bool WriteTempi(int, uint64_t, const std::string&, const std::string&) override { return true; }
  bool WriteResult(int row, uint64_t, const tempo::TrackTempi& tempi) override {
    const std::string& path = paths_[static_cast<size_t>(row)];
    cli::TrackResult result;
    result.path = platform::AnsiToUtf8(path);
    result.tempi = tempi;
    result.status = cli::StatusOf(tempi);
    switch (result.status) {
      case cli::TrackStatus::kUnreadable:
        result.reason = UnreadableReason(path, tempi);
        ++counts_.unreadable;
        progress_.Clear();
        std::fprintf(stderr, "temposcout-cli: %s: %s\n", path.c_str(), result.reason.c_str());
        break;
      case cli::TrackStatus::kNoBeat:
        result.reason = "no beat found";
        ++counts_.analysed;
        ++counts_.noBeat;
        break;
      case cli::TrackStatus::kOk:
        ++counts_.analysed;
        break;
      case cli::TrackStatus::kSkippedTagged:
        // Given only to files the analysis never sees.
        break;
    }
    // The whole-track estimate rides on the first pass, which read the audio.
    if (!tempi.passes.empty() && tempi.passes.front().observed) {
      const tempo::ObservedTempo& observed = *tempi.passes.front().observed;
      result.confidence = observed.confidence;
      if (observed.bpm) {
        const auto bpm = static_cast<float>(*observed.bpm);
        result.bpm = options_.range ? tempo::TempoInRange(bpm, 0.0f, *options_.range) : std::optional<float>(bpm);
      }
    }
    writer_.EmitResult(listIndex_[static_cast<size_t>(row)], std::move(result));
    progress_.Update(workers_.FilesDone(), paths_.size());
    return true;
  }
  void SetStatus(const std::string&) override {}
  uint64_t ListGeneration() override { return 0; }
  bool StopRequested() override { return cli::Interrupted() || writer_.state() != cli::ResultWriter::State::kWriting; }

 private:
  const std::vector<std::string>& paths_;
  const std::vector<size_t>& listIndex_;
  const cli::Options& options_;
  const tempo::ParallelAnalyser& workers_;
  cli::ResultWriter& writer_;
  cli::ProgressLine& progress_;
  cli::RunCounts& counts_;
};

// Copies an earlier run left behind when it was killed before it could remove them: named
// for the user to judge (the original beside each is whole), never removed, as nothing
// proves they are ours.
void ReportLeftoverCopies(const std::vector<std::string>& paths) {
  std::set<std::string> folders;
  for (const std::string& path : paths) folders.insert(platform::ContainingFolder(path));
  for (const std::string& folder : folders) {
    for (const std::string& copy : platform::LeftoverCopies(folder)) {
      std::fprintf(stderr, "temposcout-cli: %s: a copy left by an interrupted tag write (the original is kept)\n",
                   copy.c_str());
    }
  }
}

// The record of a file left out because it already carries a valid BPM tag: no tempi,
// the tag's value as the file holds it.
cli::TrackResult SkippedTaggedResult(const std::string& path, const std::string& tagBpm) {
  cli::TrackResult result;
  result.path = platform::AnsiToUtf8(path);
  result.status = cli::TrackStatus::kSkippedTagged;
  result.tag.outcome = cli::StatusName(cli::TrackStatus::kSkippedTagged);
  result.tag.existing = tagBpm;
  return result;
}

// Ends the run after a failed write: quietly when nobody reads any more.
int WriteFailureStatus(const cli::ResultWriter& writer) {
  if (writer.state() == cli::ResultWriter::State::kReaderGone) return kExitReaderGone;
  std::fprintf(stderr, "temposcout-cli: cannot write the results: %s\n", writer.FailureText().c_str());
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  const cli::CommandLine commandLine = cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (commandLine.action) {
    case cli::CommandAction::kHelp:
    case cli::CommandAction::kVersion: {
      const std::string text = commandLine.action == cli::CommandAction::kHelp
                                   ? std::string(cli::UsageText())
                                   : std::string("temposcout-cli " TEMPOSCOUT_VERSION "\n");
      if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "temposcout-cli: cannot write: %s\n", std::strerror(errno));
        return kExitFailure;
      }
      return 0;
    }
    case cli::CommandAction::kUsageError:
      // One line, as tools on the command line do; --help shows the whole text.
      std::fprintf(stderr, "temposcout-cli: %s (see --help)\n", commandLine.error.c_str());
      return kExitUsage;
    case cli::CommandAction::kRun:
      break;
  }
  const cli::Options& options = commandLine.options;

  platform::PrepareStandardStreams();
  if (!platform::StandardOutputIsOpen()) {
    std::fprintf(stderr, "temposcout-cli: cannot write the results: standard output is closed\n");
    return kExitFailure;
  }
  // TagLib's DLL is loaded on first use; a missing one would end the process there.
  if (options.writeTag && *kDelayedTagLibrary != '\0') {
    const platform::LibraryHandle tagLibrary = platform::OpenLibrary(kDelayedTagLibrary);
    if (tagLibrary == 0) {
      std::fprintf(stderr, "temposcout-cli: --write-tag needs %s, which is missing from the program's folder\n",
                   kDelayedTagLibrary);
      return kExitNoEngine;
    }
    platform::CloseLibrary(tagLibrary);
  }
  cli::InstallInterruptHandling();
  // Installed before the engine libraries open and kept until after they close.
  static engine::CachingLibraryLoader entryPoints(engine::PlatformLibraryLoader());
  engine::SetLibraryLoader(&entryPoints);
  std::optional<engine::EngineSession> engineSession(std::in_place);
  if (!EngineIsComplete(*engineSession)) return kExitNoEngine;
  // The curve the retry passes adapt, handed from one to the next in list order.
  tempo::AnalysisState retryState;
  tempo::InitGainCurve(retryState);
  engineSession->Initialise(nullptr);

  std::vector<std::string> arguments = options.paths;
  if (options.filesFrom) {
    std::string error;
    if (!cli::ReadPathList(*options.filesFrom, options.nulSeparated, arguments, error)) {
      if (cli::Interrupted()) return cli::kInterruptedStatus;
      std::fprintf(stderr, "temposcout-cli: cannot read the list %s: %s\n", options.filesFrom->c_str(), error.c_str());
      return kExitUsage;
    }
  }
  cli::PathCollector collector(options.extensions);
  // Folders by name, so that two runs over the same tree list it alike on every system.
  for (const std::string& argument : arguments) {
    tracklist::CollectTracks(collector, argument, options.recursive, tracklist::EntryOrder::kByName);
  }
  const std::vector<std::string>& paths = collector.paths;
  const std::vector<cli::UnlistedFolder>& unlisted = collector.unlisted;
  for (const cli::UnlistedFolder& folder : unlisted) {
    std::fprintf(stderr, "temposcout-cli: %s: cannot list the folder: %s\n", folder.folder.c_str(),
                 folder.reason.c_str());
  }

  cli::Columns columns;
  columns.range = options.range.has_value();
  columns.raw = options.raw;
  columns.confidence = options.confidence;
  columns.status = options.status;
  columns.tag = options.writeTag || options.skipTagged;
  columns.spreadsheet = options.spreadsheet;
  cli::ResultWriter writer(stdout, options.format, columns);
  cli::ProgressLine progress(!options.quiet && platform::StandardErrorIsTerminal());
  if (platform::StandardOutputIsTerminal()) {
    if (platform::OutputSharesErrorTerminal()) {
      writer.SetTerminal([&progress] { progress.Clear(); });
    } else {
      writer.SetTerminal(nullptr);
    }
  }
  cli::RunCounts counts;
  counts.files = paths.size();
  counts.foldersNotListed = unlisted.size();
  // Each file as it was before its analysis: one changed before its tag is written is
  // not tagged.
  std::vector<std::optional<platform::FileIdentity>> analysedAs;
  if (options.writeTag) {
    ReportLeftoverCopies(paths);
    analysedAs.reserve(paths.size());
    for (const std::string& path : paths) analysedAs.push_back(platform::IdentityOf(path));
    // Tags are written as the results go out, in list order, each file once its record is due.
    counts.tags.emplace().dryRun = options.dryRun;
    const double minConfidence = options.minConfidence.value_or(cli::kDefaultMinConfidence);
    writer.SetBeforeWrite([&, minConfidence](size_t index, cli::TrackResult& result) {
      if (result.status == cli::TrackStatus::kSkippedTagged) return;
      // The value as shown, so the tag agrees with the bpm column (127.50 gives 128).
      const std::optional<double> shown =
          result.bpm ? std::optional<double>(tempo::ShownTempo(*result.bpm)) : std::nullopt;
      // An unsure tempo is never written: the file is left as it is, on a dry run too.
      if (result.confidence.value_or(0.0) >= minConfidence) {
        result.tag = tags::TagFile(paths[index], shown, {.dryRun = options.dryRun, .overwrite = options.overwrite},
                                   *counts.tags, analysedAs[index]);
      } else {
        result.tag = tags::SkipUnsure(shown, *counts.tags);
      }
      if (!result.tag.error.empty()) {
        progress.Clear();
        std::fprintf(stderr, "temposcout-cli: %s: cannot write the BPM tag: %s\n", paths[index].c_str(),
                     result.tag.error.c_str());
      }
    });
  }

  writer.Start();
  // The files to analyse and their places in the list; with --skip-tagged, a file that
  // already carries a valid BPM tag gets its record at once and is never decoded.
  std::vector<std::string> analysed;
  std::vector<size_t> listIndex;
  for (size_t index = 0; index < paths.size() && !cli::Interrupted(); ++index) {
    if (options.skipTagged) {
      const tags::BpmTagRead tag = tags::ReadBpmTag(paths[index]);
      if (tag.ok && tags::IsValidBpmText(tag.bpm)) {
        ++counts.skippedTagged;
        writer.EmitResult(index, SkippedTaggedResult(paths[index], tag.bpm));
        continue;
      }
    }
    analysed.push_back(paths[index]);
    listIndex.push_back(index);
  }
  progress.Update(0, analysed.size());
  StopOnInterrupt host;
  const unsigned jobs =
      options.jobs != 0 ? options.jobs : std::clamp(std::thread::hardware_concurrency(), 1u, cli::kMaxJobs);
  tempo::ParallelAnalyser workers(analysed, jobs, host, retryState, cli::EstimatingPass());
  workers.SetWaitCallback([&] { progress.Update(workers.FilesDone(), analysed.size()); });
  PrintingList list(analysed, listIndex, options, workers, writer, progress, counts);
  tempo::RunBatch(list, workers);
  // No pass may still be decoding when the engine is released.
  workers.Shutdown();
  writer.Finish();
  cli::MarkRunFinished();
  engineSession.reset();

  progress.Clear();
  if (writer.state() != cli::ResultWriter::State::kWriting && !cli::Interrupted()) return WriteFailureStatus(writer);
  if (!options.quiet) {
    std::fprintf(stderr, "temposcout-cli: %s%s\n", cli::SummaryText(counts, progress.ElapsedSeconds()).c_str(),
                 cli::Interrupted() ? ", interrupted" : "");
  }
  if (cli::Interrupted()) return cli::kInterruptedStatus;
  const bool tagsFailed = counts.tags && counts.tags->failed > 0;
  return counts.unreadable > 0 || !unlisted.empty() || tagsFailed ? kExitFailure : 0;
}
