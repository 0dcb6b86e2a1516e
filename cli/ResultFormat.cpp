// Records of the output formats, escaped and quoted for each.
#include "cli/ResultFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/Console.h"
#include "platform/Paths.h"
#include "tempo/TempoText.h"

namespace cli {

namespace {

// Where names cannot hold a backslash, it separates folders and is written as it is.
constexpr bool kBackslashSeparatesFolders = platform::kFolderSeparator == '\\';

// Length of the UTF-8 sequence at text[i], or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  uint32_t minimum = 0;
  uint32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// A JSON string, or null for empty text.
std::string JsonStringOrNull(std::string_view text) {
  return text.empty() ? std::string("null") : JsonString(text);
}

// A JSON number given as text, or null for empty text.
std::string JsonNumberOrNull(const std::string& number) {
  return number.empty() ? std::string("null") : number;
}

std::string PassText(const TrackResult& result, size_t pass) {
  if (pass >= result.tempi.passes.size()) return {};
  const std::string& text = result.tempi.passes[pass].text;
  return text.empty() ? "-" : text;
}

std::string BpmText(const TrackResult& result) {
  return result.bpm ? tempo::FormatTempo(*result.bpm) : std::string();
}

// Empty for none.
std::string ConfidenceText(const TrackResult& result) {
  return result.confidence ? FormatConfidence(*result.confidence) : std::string();
}

// Empty for a file that was not analysed.
std::string Primary(const TrackResult& r) {
  return r.status == TrackStatus::kSkippedTagged ? std::string() : tempo::FormatTempo(r.tempi.primaryBpm);
}
std::string Alternative(const TrackResult& r) {
  return r.status == TrackStatus::kSkippedTagged ? std::string() : tempo::FormatTempo(r.tempi.alternativeBpm);
}

// Every column of every format, in order.
const std::vector<ResultColumn> kColumns = {
    {"path", ColumnGroup::kAlways, [](const TrackResult& r) { return r.path; }, "path",
     [](const TrackResult& r) { return JsonString(r.path); }},
    {"primary", ColumnGroup::kAlways, Primary, "primary",
     [](const TrackResult& r) { return JsonNumberOrNull(Primary(r)); }, true},
    {"alternative", ColumnGroup::kAlways, Alternative, "alternative",
     [](const TrackResult& r) { return JsonNumberOrNull(Alternative(r)); }, true},
    {"bpm", ColumnGroup::kBpm, BpmText, "bpm", [](const TrackResult& r) { return JsonNumberOrNull(BpmText(r)); },
     true},
    {"confidence", ColumnGroup::kConfidence, ConfidenceText, "confidence",
     [](const TrackResult& r) { return JsonNumberOrNull(ConfidenceText(r)); }, true},
    {"pass1", ColumnGroup::kRaw, [](const TrackResult& r) { return PassText(r, 0); }, "raw",
     [](const TrackResult& r) {
       std::string raw = "[";
       for (const tempo::PassResult& pass : r.tempi.passes) {
         if (raw.size() > 1) raw += ',';
         raw += JsonString(pass.text);
       }
       return raw + "]";
     }},
    {"pass2", ColumnGroup::kRaw, [](const TrackResult& r) { return PassText(r, 1); }, nullptr, nullptr},
    {"status", ColumnGroup::kStatus, [](const TrackResult& r) { return std::string(StatusName(r.status)); }, "status",
     [](const TrackResult& r) { return JsonString(StatusName(r.status)); }},
    {"reason", ColumnGroup::kStatus, [](const TrackResult& r) { return r.reason; }, "reason",
     [](const TrackResult& r) { return JsonStringOrNull(r.reason); }},
    {"tag", ColumnGroup::kTag, [](const TrackResult& r) { return r.tag.outcome; }, "tag",
     [](const TrackResult& r) { return JsonStringOrNull(r.tag.outcome); }},
    {"tag_bpm", ColumnGroup::kTag, [](const TrackResult& r) { return r.tag.bpm; }, "tag_bpm",
     [](const TrackResult& r) { return JsonNumberOrNull(r.tag.bpm); }},
    {"tag_existing", ColumnGroup::kTag, [](const TrackResult& r) { return r.tag.existing; }, "tag_existing",
     [](const TrackResult& r) { return JsonStringOrNull(r.tag.existing); }},
    {"tag_error", ColumnGroup::kTag, [](const TrackResult& r) { return r.tag.error; }, "tag_error",
     [](const TrackResult& r) { return JsonStringOrNull(r.tag.error); }},
};

// Whether a format carries the columns of a group.
bool Carries(OutputFormat format, const Columns& columns, ColumnGroup group) {
  switch (group) {
    case ColumnGroup::kAlways:
      return true;
    case ColumnGroup::kBpm:
      return columns.range || columns.confidence || format != OutputFormat::kTsv;
    case ColumnGroup::kConfidence:
      return columns.confidence || format != OutputFormat::kTsv;
    case ColumnGroup::kRaw:
      return columns.raw || format == OutputFormat::kJsonl;
    case ColumnGroup::kStatus:
      return columns.status || format != OutputFormat::kTsv;
    case ColumnGroup::kTag:
      return columns.tag;
  }
  return false;
}

// The option that adds a group's columns.
const char* OptionOf(ColumnGroup group) {
  switch (group) {
    case ColumnGroup::kBpm:
      return "--range or --confidence";
    case ColumnGroup::kConfidence:
      return "--confidence";
    case ColumnGroup::kRaw:
      return "--raw";
    case ColumnGroup::kStatus:
      return "--status";
    case ColumnGroup::kTag:
      return "--write-tag";
    case ColumnGroup::kAlways:
      break;
  }
  return "";
}

// "a", "a and b", "a, b and c".
std::string JoinedWithAnd(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// The names (TSV) or JSON keys of a group's columns.
std::vector<std::string> NamesOf(ColumnGroup group, bool json) {
  std::vector<std::string> names;
  for (const ResultColumn& column : kColumns) {
    const char* name = json ? column.jsonKey : column.name;
    if (column.group == group && name != nullptr) names.emplace_back(name);
  }
  return names;
}

// The groups in the order of their first column.
std::vector<ColumnGroup> Groups() {
  std::vector<ColumnGroup> groups;
  for (const ResultColumn& column : kColumns) {
    if (std::find(groups.begin(), groups.end(), column.group) == groups.end()) groups.push_back(column.group);
  }
  return groups;
}

// Where the decimal comma is used, ";" separates the fields, as spreadsheets there expect.
char SeparatorOf(const Columns& columns) {
  return columns.spreadsheet == Spreadsheet::kSemicolon ? ';' : ',';
}

// Words filled into lines of at most kUsageWidth characters.
constexpr size_t kUsageWidth = 88;
std::string Wrapped(const std::string& text) {
  std::string wrapped;
  size_t lineLength = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const size_t wordLength = end - start;
    if (lineLength > 0 && lineLength + 1 + wordLength > kUsageWidth) {
      wrapped += '\n';
      lineLength = 0;
    } else if (lineLength > 0) {
      wrapped += ' ';
      ++lineLength;
    }
    wrapped.append(text, start, wordLength);
    lineLength += wordLength;
    start = end + 1;
  }
  return wrapped;
}

}  // namespace

std::string FormatConfidence(double confidence) {
  // NaN is never a confidence: it reads as none at all.
  const double clamped = std::isnan(confidence) ? 0.0 : std::clamp(confidence, 0.0, 1.0);
  const auto thousandths = static_cast<int>(std::lround(clamped * 1000.0));
  const std::string fraction = std::to_string(thousandths % 1000);
  return std::to_string(thousandths / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction;
}

const char* StatusName(TrackStatus status) {
  switch (status) {
    case TrackStatus::kOk:
      return "ok";
    case TrackStatus::kNoBeat:
      return "no-beat";
    case TrackStatus::kUnreadable:
      return "unreadable";
    case TrackStatus::kSkippedTagged:
      return "skipped-tagged";
  }
  return "";
}

const char* LineEnd(OutputFormat format) {
  return format == OutputFormat::kCsv ? "\r\n" : platform::kSystemLineEnd;
}

namespace {

// A byte a terminal would act on rather than show (ESC starts its escape sequences).
bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::string HexEscape(char c) {
  static const char kDigits[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  return std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0xF];
}

}  // namespace

std::string EscapeTsvField(std::string_view text, bool keepBackslash) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\\':
        escaped += keepBackslash ? "\\" : "\\\\";
        break;
      default:
        if (IsControl(c)) {
          escaped += HexEscape(c);
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

std::string TerminalSafe(std::string_view record, std::string_view lineEnd) {
  const bool ended = record.size() >= lineEnd.size() && record.substr(record.size() - lineEnd.size()) == lineEnd;
  const std::string_view body = ended ? record.substr(0, record.size() - lineEnd.size()) : record;
  std::string safe;
  safe.reserve(record.size());
  for (char c : body) {
    if (IsControl(c) && c != '\t') {
      safe += HexEscape(c);
    } else {
      safe += c;
    }
  }
  if (ended) safe += lineEnd;
  return safe;
}

std::string QuoteCsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string SpreadsheetField(std::string_view text, char separator) {
  const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  const char special[] = {separator, '"', '\r', '\n', '\0'};
  if (!formula && text.find_first_of(special) == std::string_view::npos) return std::string(text);
  std::string quoted = formula ? "\"'" : "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string JsonString(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string json = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      json += "\\u00";
      json += kHex[c >> 4];
      json += kHex[c & 0xF];
    } else if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(text, i);
      if (length == 0) {
        json += "\xEF\xBF\xBD";
        ++i;
        continue;
      }
      json.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      json += static_cast<char>(c);
    }
    ++i;
  }
  json += '"';
  return json;
}

TrackStatus StatusOf(const tempo::TrackTempi& tempi) {
  bool anyResult = false;
  for (const tempo::PassResult& pass : tempi.passes) anyResult = anyResult || !pass.text.empty();
  if (!anyResult) return TrackStatus::kUnreadable;
  return tempi.primaryBpm == 0.0f ? TrackStatus::kNoBeat : TrackStatus::kOk;
}

const std::vector<ResultColumn>& ResultColumns() {
  return kColumns;
}

std::string ColumnsUsageText() {
  std::string tsv = "TSV columns, tab-separated, no header: ";
  std::string json = "JSON Lines: one object per file with ";
  std::vector<std::string> optional;
  std::vector<std::string> jsonItems;
  for (ColumnGroup group : Groups()) {
    const std::vector<std::string> names = NamesOf(group, false);
    const std::vector<std::string> keys = NamesOf(group, true);
    const bool jsonAlways = Carries(OutputFormat::kJsonl, Columns{}, group);
    if (group == ColumnGroup::kAlways) {
      for (const std::string& name : names) {
        tsv += name;
        tsv += ", ";
      }
    } else {
      optional.push_back(JoinedWithAnd(names) + " (" + OptionOf(group) + ")");
    }
    if (jsonAlways) {
      jsonItems.insert(jsonItems.end(), keys.begin(), keys.end());
    } else {
      jsonItems.push_back(JoinedWithAnd(keys) + " (" + OptionOf(group) + ")");
    }
  }
  tsv += "then ";
  for (size_t i = 0; i < optional.size(); ++i) {
    if (i > 0) tsv += ", ";
    tsv += optional[i];
  }
  for (size_t i = 0; i < jsonItems.size(); ++i) {
    if (i > 0) json += ", ";
    if (i + 1 == jsonItems.size()) json += "and ";
    json += jsonItems[i];
  }
  return Wrapped(tsv + ". A tab, newline, carriage return or backslash in a path is") +
         "\nwritten as \\t, \\n, \\r or \\\\, any other control character as \\xHH (on Windows,\n"
         "where names cannot hold them, the backslash between folders is written as it is).\n"
         "CSV (RFC 4180) has the same columns after a header row and always bpm, confidence,\n"
         "status and reason; on a terminal, its control characters are shown as \\xHH.\n" +
         Wrapped(json + ". Paths are written in UTF-8.") + "\n";
}

std::string FormatHeader(OutputFormat format, const Columns& columns) {
  if (format != OutputFormat::kCsv) return {};
  std::string header;
  for (const ResultColumn& column : kColumns) {
    if (!Carries(format, columns, column.group)) continue;
    if (!header.empty()) header += SeparatorOf(columns);
    header += column.name;
  }
  // The byte-order mark tells a spreadsheet the text is UTF-8, so names keep their letters.
  if (columns.spreadsheet != Spreadsheet::kNone) header.insert(0, "\xEF\xBB\xBF");
  return header + LineEnd(format);
}

std::string FormatRecord(OutputFormat format, const Columns& columns, const TrackResult& result) {
  std::string record;
  bool first = true;
  for (const ResultColumn& column : kColumns) {
    if (!Carries(format, columns, column.group)) continue;
    if (format == OutputFormat::kJsonl) {
      if (column.jsonKey == nullptr) continue;
      record += first ? '{' : ',';
      record += JsonString(column.jsonKey);
      record += ':';
      record += column.json(result);
    } else if (format == OutputFormat::kCsv && columns.spreadsheet != Spreadsheet::kNone) {
      if (!first) record += SeparatorOf(columns);
      std::string text = column.text(result);
      if (column.decimal && columns.spreadsheet == Spreadsheet::kSemicolon) {
        std::replace(text.begin(), text.end(), '.', ',');
      }
      record += SpreadsheetField(text, SeparatorOf(columns));
    } else if (format == OutputFormat::kCsv) {
      if (!first) record += ',';
      record += QuoteCsvField(column.text(result));
    } else {
      if (!first) record += '\t';
      record += EscapeTsvField(column.text(result), kBackslashSeparatesFolders);
    }
    first = false;
  }
  if (format == OutputFormat::kJsonl) record += "}";
  return record + LineEnd(format);
}

}  // namespace cli
