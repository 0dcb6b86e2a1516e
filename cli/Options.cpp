// Command-line parsing: a table of options, each with the code that applies it.
#include "cli/Options.h"

#include <charconv>

#include "cli/ResultFormat.h"
#include "tempo/Range.h"

namespace cli {

namespace {

// Applies an option's value (empty for a switch) to the options; returns what was
// wrong with it, or empty text.
using ApplyOption = std::string (*)(Options& options, const std::string& value);

struct OptionRow {
  const char* longName;   // without "--"
  const char* shortName;  // without "-", or nullptr
  bool takesValue;
  ApplyOption apply;
};

// A switch that turns one flag of the options on.
template <bool Options::*flag>
std::string SetSwitch(Options& options, const std::string&) {
  options.*flag = true;
  return std::string();
}

// New options are one row each.
constexpr OptionRow kOptions[] = {
    {"recursive", "r", false, SetSwitch<&Options::recursive>},
    {"raw", nullptr, false, SetSwitch<&Options::raw>},
    {"status", nullptr, false, SetSwitch<&Options::status>},
    {"confidence", nullptr, false, SetSwitch<&Options::confidence>},
    {"quiet", "q", false, SetSwitch<&Options::quiet>},
    {"null", "0", false, SetSwitch<&Options::nulSeparated>},
    {"write-tag", nullptr, false, SetSwitch<&Options::writeTag>},
    {"dry-run", nullptr, false, SetSwitch<&Options::dryRun>},
    {"overwrite", nullptr, false, SetSwitch<&Options::overwrite>},
    {"files-from", nullptr, true,
     [](Options& o, const std::string& value) {
       if (value.empty()) return std::string("--files-from needs a file name or -");
       o.filesFrom = value;
       return std::string();
     }},
    {"format", nullptr, true,
     [](Options& o, const std::string& value) {
       if (value == "tsv") {
         o.format = OutputFormat::kTsv;
       } else if (value == "csv") {
         o.format = OutputFormat::kCsv;
       } else if (value == "jsonl") {
         o.format = OutputFormat::kJsonl;
       } else {
         return "unknown format '" + value + "' (tsv, csv or jsonl)";
       }
       return std::string();
     }},
    {"jobs", "j", true,
     [](Options& o, const std::string& value) {
       unsigned jobs = 0;
       const char* end = value.data() + value.size();
       const auto [stop, error] = std::from_chars(value.data(), end, jobs);
       if (value.empty() || error != std::errc() || stop != end || jobs < 1) {
         return "invalid number of jobs '" + value + "' (a whole number, 1 or more)";
       }
       o.jobs = jobs;
       return std::string();
     }},
    {"min-confidence", nullptr, true,
     [](Options& o, const std::string& value) {
       // Plain decimal notation only, read to the nearest double: 0.75 is 0.75.
       double confidence = 0.0;
       const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), confidence);
       if (!tempo::ParseDecimal(value) || error != std::errc() || stop != value.data() + value.size() ||
           confidence > 1.0) {
         return "invalid confidence '" + value + "' (a number from 0 to 1, for example 0.5)";
       }
       o.minConfidence = confidence;
       return std::string();
     }},
    {"range", nullptr, true,
     [](Options& o, const std::string& value) {
       o.range = tempo::ParseRange(value);
       if (!o.range) return "invalid range '" + value + "' (MIN-MAX, for example 70-140, with 0 < MIN <= MAX)";
       return std::string();
     }},
};

const OptionRow* FindLong(const std::string& name) {
  for (const OptionRow& option : kOptions) {
    if (name == option.longName) return &option;
  }
  return nullptr;
}

const OptionRow* FindShort(const std::string& name) {
  for (const OptionRow& option : kOptions) {
    if (option.shortName != nullptr && name == option.shortName) return &option;
  }
  return nullptr;
}

CommandLine UsageError(std::string error) {
  CommandLine line;
  line.action = CommandAction::kUsageError;
  line.error = std::move(error);
  return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool optionsDone = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsDone || argument.size() < 2 || argument[0] != '-') {
      line.options.paths.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsDone = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      line.action = CommandAction::kHelp;
      return line;
    }
    if (argument == "--version") {
      line.action = CommandAction::kVersion;
      return line;
    }

    const OptionRow* option = nullptr;
    std::string name = argument;
    std::optional<std::string> value;
    if (argument.rfind("--", 0) == 0) {
      const size_t equals = argument.find('=');
      name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      if (equals != std::string::npos) value = argument.substr(equals + 1);
      option = FindLong(name);
    } else {
      option = FindShort(argument.substr(1));
    }
    if (option == nullptr) return UsageError("unknown option " + argument);
    if (!option->takesValue && value) return UsageError("option --" + name + " takes no value");
    if (option->takesValue && !value) {
      if (i + 1 >= arguments.size()) return UsageError("option " + argument + " needs a value");
      value = arguments[++i];
    }
    std::string error = option->apply(line.options, value.value_or(std::string()));
    if (!error.empty()) return UsageError(std::move(error));
  }
  const Options& options = line.options;
  if (options.dryRun && !options.writeTag) return UsageError("--dry-run needs --write-tag");
  if (options.overwrite && !options.writeTag) return UsageError("--overwrite needs --write-tag");
  if (options.minConfidence && !options.writeTag) return UsageError("--min-confidence needs --write-tag");
  if (options.paths.empty() && !options.filesFrom) return UsageError("no file or folder given");
  return line;
}

const char* UsageText() {
  // The paragraphs on the columns come from the table the records are written by.
  static const std::string text =
      std::string() +
      "usage: temposcout-cli [OPTION]... PATH...\n"
      "       temposcout-cli [OPTION]... --files-from FILE [PATH]...\n"
      "Measures the tempo of MP3 and WAV files: one line per file with its path, primary BPM\n"
      "and alternative BPM. A folder contributes its .mp3 and .wav files.\n"
      "primary and alternative are the program window's values (steady beats, exact on click\n"
      "tracks); bpm is the tempo a listener taps along to, estimated from the whole track, with\n"
      "confidence (0 to 1) saying how sure it is: the value for tagging and for a library.\n"
      "\n"
      "  -r, --recursive         include every folder below each folder given\n"
      "      --files-from FILE   read more paths from FILE, one per line (- reads standard input)\n"
      "  -0, --null              the --files-from list is NUL-separated (as find -print0 writes)\n"
      "      --format FORMAT     tsv (the default), csv or jsonl\n"
      "      --range MIN-MAX     fold bpm into MIN..MAX (for example 70-140): doubled or halved until\n"
      "                          it lies there; empty when nothing lands there (adds bpm to tsv)\n"
      "      --confidence        add bpm and confidence to tsv\n"
      "      --raw               add the result of each analysis pass (primary|alternative period\n"
      "                          in ms; - when the pass found nothing, empty when it did not run)\n"
      "      --status            add the columns status (ok, no-beat, unreadable) and reason to tsv\n"
      "  -j, --jobs N            analyse N files at once (default: one per processor); the results\n"
      "                          are the same for every N\n"
      "      --write-tag         write bpm, rounded to a whole number, as the BPM tag (TBPM) of each\n"
      "                          MP3's ID3v2 tag and each WAV's ID3 chunk; files without a bpm value\n"
      "                          are not touched, nor files whose confidence is below the minimum\n"
      "      --min-confidence X  with --write-tag: the confidence (0 to 1) a bpm needs to be written\n"
      "                          (default " +
      FormatConfidence(kDefaultMinConfidence) +
      "); below it the file is skipped-unsure\n"
      "      --dry-run           with --write-tag: show what would be written, write nothing\n"
      "      --overwrite         with --write-tag: replace a BPM a file already has (otherwise the\n"
      "                          file keeps it and is shown as skipped-existing)\n"
      "  -q, --quiet             no progress line and no summary on standard error\n"
      "  -h, --help              show this text and exit\n"
      "      --version           show the version and exit\n"
      "\n" +
      ColumnsUsageText() +
      "\n"
      "Tags: tag is written, would-write (--dry-run), skipped-existing, skipped-unsure (the\n"
      "confidence is below --min-confidence) or failed, and empty when the file has no bpm\n"
      "value and was not touched; tag_bpm is the whole number for\n"
      "the tag, tag_existing the BPM the file held before, tag_error why the tag could not\n"
      "be written. A new tag is ID3v2.3; an ID3v2.3 or 2.4 tag keeps its version and every\n"
      "other frame. A tag TagLib cannot rewrite whole is refused and the file left as it\n"
      "was. The tag is written into a copy in the same folder, which then replaces the file\n"
      "in one step.\n"
      "\n"
      "Exit status: 0 every file analysed, 1 some file or folder could not be read, a tag\n"
      "could not be written or the results could not be written, 2 usage error, 3 the audio\n"
      "engine libraries could not be loaded, 130 interrupted.\n";
  return text.c_str();
}

}  // namespace cli
