// The command line of temposcout-cli: its options, their parsing and the usage text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tempo/Range.h"
#include "tracklist/AudioExtensions.h"

namespace cli {

enum class OutputFormat { kTsv, kCsv, kJsonl };

struct Options {
  bool recursive = false;
  bool raw = false;
  bool status = false;
  bool quiet = false;
  bool nulSeparated = false;
  // Write the range value as each file's BPM tag; only show what would be written; replace
  // a BPM a file already has.
  bool writeTag = false;
  bool dryRun = false;
  bool overwrite = false;
  OutputFormat format = OutputFormat::kTsv;
  // Files analysed at once; 0 until given: then one per processor.
  unsigned jobs = 0;
  std::optional<tempo::TempoRange> range;
  // The list file of --files-from; "-" is standard input.
  std::optional<std::string> filesFrom;
  // The extensions a folder scan takes (entries of tracklist::kAudioExtensions).
  std::vector<std::string_view> extensions{tracklist::kAudioExtensions.begin(), tracklist::kAudioExtensions.end()};
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
