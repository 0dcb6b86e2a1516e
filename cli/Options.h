// The command line of temposcout-cli: its options, their parsing and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tempo/Range.h"

namespace cli {

enum class OutputFormat { kTsv, kCsv, kJsonl };

// The confidence a file's bpm needs before --write-tag writes it, unless
// --min-confidence says otherwise. Provisional: chosen from the development set.
constexpr double kDefaultMinConfidence = 0.5;

struct Options {
  bool recursive = false;
  bool raw = false;
  bool status = false;
  // Add bpm and confidence to TSV (CSV and JSON Lines always carry them).
  bool confidence = false;
  bool quiet = false;
  bool nulSeparated = false;
  // Write bpm as each file's BPM tag; only show what would be written; replace
  // a BPM a file already has.
  bool writeTag = false;
  bool dryRun = false;
  bool overwrite = false;
  // The confidence a bpm needs to be written as a tag; until given, the default.
  std::optional<double> minConfidence;
  OutputFormat format = OutputFormat::kTsv;
  // Files analysed at once; 0 until given: then one per processor.
  unsigned jobs = 0;
  std::optional<tempo::TempoRange> range;
  // The list file of --files-from; "-" is standard input.
  std::optional<std::string> filesFrom;
  std::vector<std::string> paths;
};

enum class CommandAction { kRun, kHelp, kVersion, kUsageError };

struct CommandLine {
  CommandAction action = CommandAction::kRun;
  Options options;
  // What was wrong, for kUsageError.
  std::string error;
};

// Reads the arguments after the program name. Options may come before, between and
// after paths; "--" ends the options. Long options take their value as the next
// argument or after "=".
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help, also shown after a usage error.
const char* UsageText();

}  // namespace cli
