// One file's result as a record of the output formats: TSV, CSV (RFC 4180) and JSON
// Lines, each carrying the same fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "tags/TagStep.h"

namespace cli {

enum class TrackStatus { kOk, kNoBeat, kUnreadable };

struct TrackResult {
  // UTF-8.
  std::string path;
  // As the list shows them: two decimals, "0.00" for none.
  std::string primary;
  std::string alternative;
  // Present when a range was asked for; empty text when no value lands in it.
  std::optional<std::string> bpm;
  // The result text of each analysis pass that ran ("P|A" periods in ms, empty for
  // a pass that found nothing).
  std::vector<std::string> passes;
  TrackStatus status = TrackStatus::kOk;
  // Why the status is not ok; empty for ok.
  std::string reason;
  // Present when tags are written.
  std::optional<tags::TagReport> tag;
};

// Which optional columns TSV and CSV carry.
struct Columns {
  bool range = false;
  bool raw = false;
  // Always on for CSV.
  bool status = false;
  bool tag = false;
};

const char* StatusName(TrackStatus status);

// The line end of a format: CSV ends records with CRLF as RFC 4180 asks; TSV and JSON
// Lines use the system's own.
const char* LineEnd(OutputFormat format);

// The header row (with its line end), or empty text for a format without one.
std::string FormatHeader(OutputFormat format, const Columns& columns);
// One record with its line end.
std::string FormatRecord(OutputFormat format, const Columns& columns, const TrackResult& result);

// Tab, newline, carriage return and backslash as \t \n \r \\ (backslashes kept as they
// are when keepBackslash, for Windows paths).
std::string EscapeTsvField(std::string_view text, bool keepBackslash);
// Quoted with doubled quotes when the field holds a comma, quote, CR or LF.
std::string QuoteCsvField(std::string_view text);
// A JSON string with its quotes; control characters as \u00XX, bytes that are not
// UTF-8 as U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace cli
