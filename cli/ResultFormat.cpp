// Records of the output formats, escaped and quoted for each.
#include "cli/ResultFormat.h"

#include <cstdint>

namespace cli {

namespace {

#ifdef _WIN32
constexpr bool kBackslashSeparatesFolders = true;
constexpr const char* kSystemLineEnd = "\r\n";
#else
constexpr bool kBackslashSeparatesFolders = false;
constexpr const char* kSystemLineEnd = "\n";
#endif

// The fields of TSV and CSV in column order, named as in the CSV header.
std::vector<std::pair<const char*, std::string>> Fields(bool forCsv, const Columns& columns,
                                                        const TrackResult& result) {
  std::vector<std::pair<const char*, std::string>> fields;
  fields.emplace_back("path", result.path);
  fields.emplace_back("primary", result.primary);
  fields.emplace_back("alternative", result.alternative);
  if (columns.range) fields.emplace_back("bpm", result.bpm.value_or(std::string()));
  if (columns.raw) {
    const char* names[] = {"pass1", "pass2"};
    for (size_t pass = 0; pass < 2; ++pass) {
      std::string field;
      if (pass < result.passes.size()) field = result.passes[pass].empty() ? "-" : result.passes[pass];
      fields.emplace_back(names[pass], field);
    }
  }
  if (columns.status || forCsv) {
    fields.emplace_back("status", StatusName(result.status));
    fields.emplace_back("reason", result.reason);
  }
  if (columns.tag) {
    const tags::TagReport tag = result.tag.value_or(tags::TagReport{});
    fields.emplace_back("tag", tag.outcome);
    fields.emplace_back("tag_bpm", tag.bpm);
    fields.emplace_back("tag_existing", tag.existing);
    fields.emplace_back("tag_error", tag.error);
  }
  return fields;
}

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

}  // namespace

const char* StatusName(TrackStatus status) {
  switch (status) {
    case TrackStatus::kOk:
      return "ok";
    case TrackStatus::kNoBeat:
      return "no-beat";
    case TrackStatus::kUnreadable:
      return "unreadable";
  }
  return "";
}

const char* LineEnd(OutputFormat format) {
  return format == OutputFormat::kCsv ? "\r\n" : kSystemLineEnd;
}

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
        escaped += c;
    }
  }
  return escaped;
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

std::string FormatHeader(OutputFormat format, const Columns& columns) {
  if (format != OutputFormat::kCsv) return {};
  std::string header;
  for (const auto& [name, value] : Fields(true, columns, TrackResult{})) {
    if (!header.empty()) header += ',';
    header += name;
  }
  return header + LineEnd(format);
}

std::string FormatRecord(OutputFormat format, const Columns& columns, const TrackResult& result) {
  std::string record;
  if (format == OutputFormat::kJsonl) {
    record = "{\"path\":" + JsonString(result.path) + ",\"primary\":" + result.primary +
             ",\"alternative\":" + result.alternative;
    if (result.bpm) record += ",\"bpm\":" + (result.bpm->empty() ? std::string("null") : *result.bpm);
    record += ",\"raw\":[";
    for (size_t pass = 0; pass < result.passes.size(); ++pass) {
      if (pass > 0) record += ',';
      record += JsonString(result.passes[pass]);
    }
    record +=
        "],\"status\":" + JsonString(StatusName(result.status)) + ",\"reason\":" + JsonStringOrNull(result.reason);
    if (result.tag) {
      const tags::TagReport& tag = *result.tag;
      record += ",\"tag\":" + JsonStringOrNull(tag.outcome) +
                ",\"tag_bpm\":" + (tag.bpm.empty() ? std::string("null") : tag.bpm) +
                ",\"tag_existing\":" + JsonStringOrNull(tag.existing) + ",\"tag_error\":" + JsonStringOrNull(tag.error);
    }
    record += "}";
  } else {
    const bool csv = format == OutputFormat::kCsv;
    for (const auto& [name, value] : Fields(csv, columns, result)) {
      if (!record.empty() || name != std::string_view("path")) record += csv ? ',' : '\t';
      record += csv ? QuoteCsvField(value) : EscapeTsvField(value, kBackslashSeparatesFolders);
    }
  }
  return record + LineEnd(format);
}

}  // namespace cli
