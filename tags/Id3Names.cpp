// The ID3v2.2 frame table with its ID3v2.3 and 2.4 equivalents, and text frame decoding.
#include "tags/Id3Names.h"

#include <algorithm>

namespace tags {

namespace {

struct V22Frame {
  const char* v22;
  const char* v23;  // "" when ID3v2.3 has no equivalent
  const char* v24;  // "" when ID3v2.4 has no equivalent
};

// The standards' own table. Frames whose later form is a different format (RVA, EQU) or
// that were folded into other frames (TDA, TIM, TRD in 2.4) have no equivalent; the last
// six are the sort-order and compilation frames iTunes writes into ID3v2.2 tags.
constexpr V22Frame kV22Frames[] = {
    {"BUF", "RBUF", "RBUF"}, {"CNT", "PCNT", "PCNT"}, {"COM", "COMM", "COMM"}, {"CRA", "AENC", "AENC"},
    {"CRM", "", ""},         {"ETC", "ETCO", "ETCO"}, {"EQU", "EQUA", ""},     {"GEO", "GEOB", "GEOB"},
    {"IPL", "IPLS", "TIPL"}, {"LNK", "LINK", "LINK"}, {"MCI", "MCDI", "MCDI"}, {"MLL", "MLLT", "MLLT"},
    {"PIC", "APIC", "APIC"}, {"POP", "POPM", "POPM"}, {"REV", "RVRB", "RVRB"}, {"RVA", "RVAD", ""},
    {"SLT", "SYLT", "SYLT"}, {"STC", "SYTC", "SYTC"}, {"TAL", "TALB", "TALB"}, {"TBP", "TBPM", "TBPM"},
    {"TCM", "TCOM", "TCOM"}, {"TCO", "TCON", "TCON"}, {"TCR", "TCOP", "TCOP"}, {"TDA", "TDAT", ""},
    {"TDY", "TDLY", "TDLY"}, {"TEN", "TENC", "TENC"}, {"TFT", "TFLT", "TFLT"}, {"TIM", "TIME", ""},
    {"TKE", "TKEY", "TKEY"}, {"TLA", "TLAN", "TLAN"}, {"TLE", "TLEN", "TLEN"}, {"TMT", "TMED", "TMED"},
    {"TOA", "TOPE", "TOPE"}, {"TOF", "TOFN", "TOFN"}, {"TOL", "TOLY", "TOLY"}, {"TOR", "TORY", "TDOR"},
    {"TOT", "TOAL", "TOAL"}, {"TP1", "TPE1", "TPE1"}, {"TP2", "TPE2", "TPE2"}, {"TP3", "TPE3", "TPE3"},
    {"TP4", "TPE4", "TPE4"}, {"TPA", "TPOS", "TPOS"}, {"TPB", "TPUB", "TPUB"}, {"TRC", "TSRC", "TSRC"},
    {"TRD", "TRDA", ""},     {"TRK", "TRCK", "TRCK"}, {"TSI", "TSIZ", ""},     {"TSS", "TSSE", "TSSE"},
    {"TT1", "TIT1", "TIT1"}, {"TT2", "TIT2", "TIT2"}, {"TT3", "TIT3", "TIT3"}, {"TXT", "TEXT", "TEXT"},
    {"TXX", "TXXX", "TXXX"}, {"TYE", "TYER", "TDRC"}, {"UFI", "UFID", "UFID"}, {"ULT", "USLT", "USLT"},
    {"WAF", "WOAF", "WOAF"}, {"WAR", "WOAR", "WOAR"}, {"WAS", "WOAS", "WOAS"}, {"WCM", "WCOM", "WCOM"},
    {"WCP", "WCOP", "WCOP"}, {"WPB", "WPUB", "WPUB"}, {"WXX", "WXXX", "WXXX"}, {"TCP", "TCMP", "TCMP"},
    {"TS2", "TSO2", "TSO2"}, {"TSA", "TSOA", "TSOA"}, {"TSC", "TSOC", "TSOC"}, {"TSP", "TSOP", "TSOP"},
    {"TST", "TSOT", "TSOT"},
};

const V22Frame* FindV22(const std::string& id) {
  for (const V22Frame& frame : kV22Frames) {
    if (id == frame.v22) return &frame;
  }
  return nullptr;
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// UTF-16 up to its first terminator; `bigEndian` unless a byte order mark says otherwise.
std::string Utf16ToUtf8(const uint8_t* bytes, size_t lengthBytes, bool bigEndian) {
  size_t at = 0;
  if (lengthBytes >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    bigEndian = bytes[0] == 0xFE;
    at = 2;
  }
  std::string out;
  const auto unitAt = [&](size_t i) {
    return static_cast<uint32_t>(bigEndian ? bytes[i] << 8 | bytes[i + 1] : bytes[i + 1] << 8 | bytes[i]);
  };
  for (; at + 1 < lengthBytes; at += 2) {
    uint32_t unit = unitAt(at);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < lengthBytes) {
      const uint32_t low = unitAt(at + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        at += 2;
      }
    }
    AppendUtf8(out, unit);
  }
  return out;
}

}  // namespace

bool IsKnownV22FrameId(const std::string& id) {
  return FindV22(id) != nullptr;
}

std::string ConvertedV22FrameId(const std::string& id, int targetMajorVersion) {
  const V22Frame* frame = FindV22(id);
  if (frame == nullptr) return {};
  return targetMajorVersion == 3 ? frame->v23 : frame->v24;
}

std::string FrameText(const Bytes& payload) {
  if (payload.empty()) return {};
  const uint8_t* text = payload.data() + 1;
  const size_t lengthBytes = payload.size() - 1;
  std::string out;
  switch (payload[0]) {
    case 0:  // ISO-8859-1
      for (size_t i = 0; i < lengthBytes && text[i] != 0; ++i) AppendUtf8(out, text[i]);
      break;
    case 1:  // UTF-16 with a byte order mark
    case 2:  // UTF-16 big-endian
      out = Utf16ToUtf8(text, lengthBytes, true);
      break;
    case 3:  // UTF-8
      out.assign(text, std::find(text, text + lengthBytes, 0));
      break;
    default:
      return {};
  }
  return TrimSpace(out);
}

std::string TrimSpace(const std::string& text) {
  const char* kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string Quoted(const uint8_t* bytes, size_t lengthBytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (size_t i = 0; i < lengthBytes; ++i) {
    const uint8_t c = bytes[i];
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out + "\"";
}

std::string Quoted(const std::string& text) {
  return Quoted(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace tags
