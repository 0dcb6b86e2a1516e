// Writes a generated click track as a WAV file of any layout the tests' writer knows, so
// the benchmark scripts and the fuzzing seeds make their audio the way the tests do.
#include "testaudio/TestAudio.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

int Usage(std::FILE* to = stderr) {
  std::fprintf(to,
               "usage: make_test_wav [OPTION...] OUT.wav   (--help: this text)\n"
               "The signal:\n"
               "  --period-ms MS        a click every MS milliseconds (500)\n"
               "  --seconds S           length (20)\n"
               "  --noise AMPLITUDE     white noise in 16-bit units under the clicks (100)\n"
               "  --no-clicks           the noise alone\n"
               "  --offbeat-level F     every other click at F (0 to 1) of the full level (1)\n"
               "The samples:\n"
               "  --rate HZ             sample rate (44100)\n"
               "  --channels N          1 to 8, all carrying the same signal (2)\n"
               "  --format pcm8|pcm16|pcm24|pcm32|float32|float64|alaw|mulaw   (pcm16)\n"
               "The file:\n"
               "  --extensible          WAVE_FORMAT_EXTENSIBLE, the first N speakers in the mask\n"
               "  --channel-mask MASK   WAVE_FORMAT_EXTENSIBLE with this speaker mask (0x3F...)\n"
               "  --fmt-extra-size      an 18-byte \"fmt \" ending in a zero extra size\n"
               "  --chunk WHERE:ID:HEX  a chunk of that id and body (hex digits) before the\n"
               "                        \"fmt \" and \"data\" chunks (WHERE=before) or after them\n"
               "                        (WHERE=after); odd sizes get their pad byte\n"
               "  --info WHERE:ID:TEXT  an entry of a LIST/INFO chunk there, which stands where\n"
               "                        its first entry is named among that side's chunks\n"
               "  --data-first          the \"data\" chunk before \"fmt \"\n"
               "  --rf64                an RF64 file, the sizes in a \"ds64\" chunk\n");
  return to == stderr ? 2 : 0;
}

bool ParseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= low && value <= high;
}

bool ParseHex(const std::string& text, testaudio::Bytes& bytes) {
  if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  for (size_t i = 0; i < text.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return true;
}

// One side's extra chunks in order; the LIST/INFO chunk, once named, holds a place.
struct Side {
  std::vector<testaudio::Bytes> chunks;
  std::vector<std::pair<std::string, std::string>> info;
  size_t infoAt = 0;
  std::vector<testaudio::Bytes> Finish() const {
    std::vector<testaudio::Bytes> all = chunks;
    if (!info.empty()) all.insert(all.begin() + static_cast<std::ptrdiff_t>(infoAt), testaudio::InfoList(info));
    return all;
  }
};

// "before:ID:REST" or "after:ID:REST" with a four-character id.
bool SplitPlaced(const std::string& text, std::map<std::string, Side>& sides, Side*& side, std::string& id,
                 std::string& rest) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || text.size() < colon + 6 || text[colon + 5] != ':') return false;
  const auto found = sides.find(text.substr(0, colon));
  if (found == sides.end()) return false;
  side = &found->second;
  id = text.substr(colon + 1, 4);
  rest = text.substr(colon + 6);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, testaudio::SampleFormat> formats = {
      {"pcm8", testaudio::SampleFormat::Pcm8},       {"pcm16", testaudio::SampleFormat::Pcm16},
      {"pcm24", testaudio::SampleFormat::Pcm24},     {"pcm32", testaudio::SampleFormat::Pcm32},
      {"float32", testaudio::SampleFormat::Float32}, {"float64", testaudio::SampleFormat::Float64},
      {"alaw", testaudio::SampleFormat::ALaw},       {"mulaw", testaudio::SampleFormat::MuLaw},
  };
  std::map<std::string, Side> sides = {{"before", {}}, {"after", {}}};
  testaudio::ClickWav shape;
  testaudio::WavLayout& layout = shape.layout;
  bool extensible = false;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      return Usage(stdout);
    } else if (option == "--no-clicks") {
      shape.clicks = false;
    } else if (option == "--extensible") {
      extensible = true;
    } else if (option == "--fmt-extra-size") {
      layout.formatExtraSize = true;
    } else if (option == "--data-first") {
      layout.dataBeforeFormat = true;
    } else if (option == "--rf64") {
      layout.rf64 = true;
    } else if (option.rfind("--", 0) != 0) {
      if (!out.empty()) return Usage();
      out = option;
    } else {
      if (i + 1 == argc) return Usage();
      const char* value = argv[++i];
      double number = 0;
      Side* side = nullptr;
      std::string id;
      std::string rest;
      if (option == "--format") {
        const auto found = formats.find(value);
        if (found == formats.end()) return Usage();
        shape.format = found->second;
      } else if (option == "--period-ms" && ParseNumber(value, 1, 1e6, number)) {
        shape.periodMs = number;
      } else if (option == "--seconds" && ParseNumber(value, 0, 86400, number)) {
        shape.seconds = number;
      } else if (option == "--noise" && ParseNumber(value, 0, 12000, number)) {
        shape.noiseAmplitude = static_cast<int>(number);
      } else if (option == "--offbeat-level" && ParseNumber(value, 0, 1, number)) {
        shape.offBeatLevel = number;
      } else if (option == "--rate" && ParseNumber(value, 1000, 384000, number)) {
        shape.rateHz = static_cast<uint32_t>(number);
      } else if (option == "--channels" && ParseNumber(value, 1, 8, number)) {
        shape.channels = static_cast<uint16_t>(number);
      } else if (option == "--channel-mask") {
        char* end = nullptr;
        const unsigned long mask = std::strtoul(value, &end, 0);
        if (end == value || *end != '\0' || mask > 0xFFFFFFFFul) return Usage();
        layout.channelMask = static_cast<uint32_t>(mask);
      } else if (option == "--chunk" && SplitPlaced(value, sides, side, id, rest)) {
        testaudio::Bytes body;
        if (!ParseHex(rest, body)) return Usage();
        side->chunks.push_back(testaudio::Chunk(id.c_str(), body));
      } else if (option == "--info" && SplitPlaced(value, sides, side, id, rest)) {
        if (side->info.empty()) side->infoAt = side->chunks.size();
        side->info.emplace_back(id, rest);
      } else {
        return Usage();
      }
    }
  }
  if (out.empty()) return Usage();
  if (extensible && !layout.channelMask) layout.channelMask = (1u << shape.channels) - 1;
  layout.before = sides["before"].Finish();
  layout.after = sides["after"].Finish();
  testaudio::WriteClickWav(out, shape);
  std::error_code error;
  if (std::filesystem::file_size(out, error) == 0 || error) {
    std::fprintf(stderr, "make_test_wav: could not write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
