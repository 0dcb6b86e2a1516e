// One file's result as a record of the output formats: TSV, CSV (RFC 4180) and JSON
// Lines, each carrying the same fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "tags/TagStep.h"
#include "tempo/BatchDriver.h"

namespace cli {

// kSkippedTagged: not analysed, as the file already carries a valid BPM tag (--skip-tagged).
enum class TrackStatus { kOk, kNoBeat, kUnreadable, kSkippedTagged };

// One file's result from the end of its analysis to its record.
struct TrackResult {
  // UTF-8.
  std::string path;
  // The tempi as numbers and every analysis pass that ran ("P|A" periods in ms, empty
  // text for a pass that found nothing).
  tempo::TrackTempi tempi;
  // The whole-track estimate, the tempo a listener taps along to: folded into the range
  // when one is given; none when there is no estimate or no value lands in the range.
  std::optional<float> bpm;
  // How sure the estimate is, 0 to 1; none when the estimator saw no audio.
  std::optional<double> confidence;
  TrackStatus status = TrackStatus::kOk;
  // Why the status is not ok; empty for ok.
  std::string reason;
  // What became of the file's BPM tag; all empty when it was not touched.
  tags::TagReport tag;
};

// The status of a file's analysis: unreadable when no pass gave anything at all (the
// engine could not open or decode the file), no-beat without a primary tempo.
TrackStatus StatusOf(const tempo::TrackTempi& tempi);

// Which optional columns TSV and CSV carry.
struct Columns {
  bool range = false;
  // bpm and confidence in TSV; always on for CSV and JSON Lines.
  bool confidence = false;
  bool raw = false;
  // Always on for CSV.
  bool status = false;
  bool tag = false;
  // CSV for spreadsheets: byte-order mark, guarded formulas, and maybe ";" with the
  // decimal comma.
  Spreadsheet spreadsheet = Spreadsheet::kNone;
};

// The columns of every format, in order, as one table (ResultFormat.cpp): a row is a
// column's name (the CSV header and the JSON Lines key), the option that adds it, and
// its value as text (TSV, CSV) and as JSON.
enum class ColumnGroup {
  kAlways,
  kBpm,         // --range or --confidence; CSV and JSON Lines always carry it
  kConfidence,  // --confidence; CSV and JSON Lines always carry it
  kRaw,     // --raw; JSON Lines always carries it
  kStatus,  // --status; CSV and JSON Lines always carry it
  kTag,     // --write-tag
};

struct ResultColumn {
  const char* name;
  ColumnGroup group;
  std::string (*text)(const TrackResult&);
  // The JSON Lines key and value; no key for a column JSON Lines carries under another's.
  const char* jsonKey;
  std::string (*json)(const TrackResult&);
  // A number with a decimal point, written with the decimal comma where asked.
  bool decimal = false;
};

const std::vector<ResultColumn>& ResultColumns();

// The usage text's paragraphs on the columns of TSV and JSON Lines, wrapped as the
// rest of the usage text, each ending with a line end.
std::string ColumnsUsageText();

const char* StatusName(TrackStatus status);

// A confidence with three decimals and "." as the decimal point, whatever the locale.
std::string FormatConfidence(double confidence);

// The line end of a format: CSV ends records with CRLF as RFC 4180 asks; TSV and JSON
// Lines use the system's own.
const char* LineEnd(OutputFormat format);

// The header row (with its line end), or empty text for a format without one.
std::string FormatHeader(OutputFormat format, const Columns& columns);
// One record with its line end.
std::string FormatRecord(OutputFormat format, const Columns& columns, const TrackResult& result);

// Tab, newline, carriage return and backslash as \t \n \r \\ (backslashes kept as they
// are when keepBackslash, for Windows paths), any other control character as \xHH.
std::string EscapeTsvField(std::string_view text, bool keepBackslash);
// A record for a terminal: every control character but tabs and its closing `lineEnd`
// as \xHH, so no file name can move the cursor or start an escape sequence.
std::string TerminalSafe(std::string_view record, std::string_view lineEnd);
// Quoted with doubled quotes when the field holds a comma, quote, CR or LF.
std::string QuoteCsvField(std::string_view text);
// A CSV field for a spreadsheet: quoted when it holds the separator, a quote, CR or LF;
// a field beginning with =, +, -, @, tab or CR, which a spreadsheet would take for a
// formula, gets a ' in front inside quotes.
std::string SpreadsheetField(std::string_view text, char separator);
// A JSON string with its quotes; control characters as \u00XX, bytes that are not
// UTF-8 as U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace cli
