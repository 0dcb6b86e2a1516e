// Command-line parsing: a table of options, each with the code that applies it.
#include "cli/Options.h"

#include <algorithm>
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
  // A value only after "=" (--excel=semicolon), so the path after the option is never
  // taken for its value; without one the option applies with empty text.
  bool valueOnlyAfterEquals = false;
};

// A switch that turns one flag of the options on.
template <bool Options::*flag>
std::string SetSwitch(Options& options, const std::string&) {
  options.*flag = true;
  return std::string();
}

// The extensions without their dots, comma-separated: "mp3,mp2,wav,...".
std::string AudioExtensionList() {
  std::string list;
  for (std::string_view extension : tracklist::kAudioExtensions) {
    if (!list.empty()) list += ',';
    list += extension.substr(1);
  }
  return list;
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
    {"extensions", nullptr, true,
     [](Options& o, const std::string& value) {
       o.extensions.clear();
       size_t start = 0;
       while (start <= value.size()) {
         const size_t comma = std::min(value.find(',', start), value.size());
         const std::string_view name = std::string_view(value).substr(start, comma - start);
         const std::string_view known = tracklist::FindAudioExtension(name);
         if (known.empty()) {
           return "unknown extension '" + std::string(name) + "' (one or more of " + AudioExtensionList() + ")";
         }
         if (std::find(o.extensions.begin(), o.extensions.end(), known) == o.extensions.end()) {
           o.extensions.push_back(known);
         }
         start = comma + 1;
       }
       return std::string();
     }},
    {"format", nullptr, true,
     [](Options& o, const std::string& value) {
       o.formatGiven = true;
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
       if (value.empty() || error != std::errc() || stop != end || jobs < 1 || jobs > kMaxJobs) {
         return "invalid number of jobs '" + value + "' (a whole number from 1 to " + std::to_string(kMaxJobs) + ")";
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
    {"skip-tagged", nullptr, false, SetSwitch<&Options::skipTagged>},
    {"excel", nullptr, true,
     [](Options& o, const std::string& value) {
       if (value.empty() || value == "comma") {
         o.spreadsheet = Spreadsheet::kComma;
       } else if (value == "semicolon") {
         o.spreadsheet = Spreadsheet::kSemicolon;
       } else {
         return "unknown spreadsheet separator '" + value + "' (--excel or --excel=semicolon)";
       }
       return std::string();
     },
     true},
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
    if (argument == "--help") {
      line.action = CommandAction::kHelp;
      return line;
    }
    if (argument == "--version") {
      line.action = CommandAction::kVersion;
      return line;
    }

    if (argument.rfind("--", 0) == 0) {
      // --name, --name=value, or --name value.
      const size_t equals = argument.find('=');
      const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const OptionRow* option = FindLong(name);
      if (option == nullptr) return UsageError("unknown option '--" + name + "'");
      std::optional<std::string> value;
      if (equals != std::string::npos) value = argument.substr(equals + 1);
      if (!option->takesValue && value) {
        return UsageError("option '--" + name + "' takes no value");
      }
      if (option->takesValue && !option->valueOnlyAfterEquals && !value) {
        if (i + 1 >= arguments.size()) return UsageError("option '--" + name + "' needs a value");
        value = arguments[++i];
      }
      std::string error = option->apply(line.options, value.value_or(std::string()));
      if (!error.empty()) return UsageError(std::move(error));
      continue;
    }

    // Short options bundle as getopt's do: -rq is -r -q, and the rest of the argument
    // after one that takes a value is its value (-j4), else the next argument (-j 4).
    for (size_t at = 1; at < argument.size(); ++at) {
      const std::string name = argument.substr(at, 1);
      if (name == "h") {
        line.action = CommandAction::kHelp;
        return line;
      }
      const OptionRow* option = FindShort(name);
      if (option == nullptr) return UsageError("unknown option '-" + name + "'");
      std::string value;
      if (option->takesValue && !option->valueOnlyAfterEquals) {
        if (at + 1 < argument.size()) {
          value = argument.substr(at + 1);
        } else if (i + 1 < arguments.size()) {
          value = arguments[++i];
        } else {
          return UsageError("option '-" + name + "' needs a value");
        }
        at = argument.size();
      }
      std::string error = option->apply(line.options, value);
      if (!error.empty()) return UsageError(std::move(error));
    }
  }
  const Options& options = line.options;
  if (options.dryRun && !options.writeTag) return UsageError("--dry-run needs --write-tag");
  if (options.overwrite && !options.writeTag) return UsageError("--overwrite needs --write-tag");
  if (options.spreadsheet != Spreadsheet::kNone) {
    if (options.formatGiven && options.format != OutputFormat::kCsv) return UsageError("--excel writes CSV");
    line.options.format = OutputFormat::kCsv;
  }
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
      "Measures the tempo of audio files: one line per file with its path, primary BPM and\n"
      "alternative BPM. MP3 and WAV, and through FFmpeg FLAC, ALAC, AIFF, Ogg Vorbis, Opus,\n"
      "AAC/M4A, Matroska/WebM, WMA, WavPack and APE. A file named on the command line is\n"
      "always tried; a folder contributes, ordered by name (the byte order of their UTF-8\n"
      "names) on every system, the files whose names end with one of\n"
      "  " + AudioExtensionList() + "\n"
"primary and alternative are the program window's values (steady beats, exact on click\n"
      "tracks); bpm is the tempo a listener taps along to, estimated from the whole track, with\n"
      "confidence (0 to 1) saying how sure it is: the value for tagging and for a library.\n"
      "\n"
      "  -r, --recursive         include every folder below each folder given\n"
      "      --extensions LIST   a folder contributes only files with these extensions, comma-\n"
      "                          separated from the list above (for example mp3,wav)\n"
      "      --files-from FILE   read more paths from FILE, one per line (- reads standard input)\n"
      "  -0, --null              the --files-from list is NUL-separated (as find -print0 writes)\n"
      "      --format FORMAT     tsv (the default), csv or jsonl\n"
      "      --range MIN-MAX     fold bpm into MIN..MAX (for example 70-140): doubled or halved until\n"
      "                          it lies there; empty when nothing lands there (adds bpm to tsv)\n"
      "      --confidence        add bpm and confidence to tsv\n"
      "      --raw               add the result of each analysis pass (primary|alternative period\n"
      "                          in ms; - when the pass found nothing, empty when it did not run)\n"
      "      --status            add the columns status (ok, no-beat, unreadable) and reason to tsv\n"
      "  -j, --jobs N            analyse N files at once, 1 to 64 (default: one per processor, at\n"
      "                          most 64); the results are the same for every N\n"
      "      --write-tag         write bpm, rounded to a whole number, as each file's BPM tag (see\n"
      "                          Tags below); files without a bpm value are not touched, nor files\n"
      "                          whose confidence is below the minimum\n"
      "      --min-confidence X  with --write-tag: the confidence (0 to 1) a bpm needs to be written\n"
      "                          (default " +
      FormatConfidence(kDefaultMinConfidence) +
      "); below it the file is skipped-unsure\n"
      "      --dry-run           with --write-tag: show what would be written, write nothing\n"
      "      --overwrite         with --write-tag: replace a BPM a file already has (otherwise the\n"
      "                          file keeps it and is shown as skipped-existing); a BPM that is\n"
      "                          not a tempo from 20 to 400 (0, empty, a word) is replaced anyway\n"
      "      --skip-tagged       do not analyse a file that already has a BPM tag from 20 to 400:\n"
      "                          its record has status skipped-tagged, empty tempi, tag\n"
      "                          skipped-tagged and the tag's value in tag_existing\n"
      "      --excel[=semicolon] CSV for spreadsheets: a UTF-8 byte-order mark, and a ' in front of\n"
      "                          a cell beginning with = + - or @; =semicolon separates the\n"
      "                          fields with ; and writes the decimal comma, for Excel where the\n"
      "                          decimal separator is a comma\n"
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
      "be written. The field written: TBPM in the ID3v2 tag of MP3, in the ID3 chunk of WAV\n"
      "and AIFF; BPM in the Vorbis comment of FLAC, Ogg Vorbis and Opus; the tmpo atom of\n"
      "MP4/M4A; WM/BeatsPerMinute in WMA; BPM in the APEv2 tag of WavPack and APE. Other\n"
      "formats are refused. A new ID3 tag is ID3v2.3; an ID3v2.3 or 2.4 tag keeps its\n"
      "version. Every other field, picture and the audio stay as they were: a tag TagLib\n"
      "cannot rewrite whole is refused and the file left as it was. The tag is written into\n"
      "a copy in the same folder, which is checked and then replaces the file in one step.\n"
      "\n"
      "Exit status: 0 every file analysed, 1 some file or folder could not be read, a tag\n"
      "could not be written or the results could not be written, 2 usage error, 3 the audio\n"
      "engine libraries could not be loaded, 130 interrupted.\n";
  return text.c_str();
}

}  // namespace cli
