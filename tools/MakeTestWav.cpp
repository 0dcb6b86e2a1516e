// Writes a generated click track as a WAV file with the tests' own writer, so the
// benchmark and fuzzing scripts make their audio the way the tests do.
#include "testaudio/TestAudio.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: make_test_wav [--period-ms MS] [--seconds S] [--noise AMPLITUDE] [--no-clicks]\n"
               "                     [--rate HZ] [--channels N] [--format pcm8|pcm16|pcm24|float32|float64] OUT.wav\n");
  return 2;
}

bool ParseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, testaudio::SampleFormat> formats = {
      {"pcm8", testaudio::SampleFormat::Pcm8},       {"pcm16", testaudio::SampleFormat::Pcm16},
      {"pcm24", testaudio::SampleFormat::Pcm24},     {"float32", testaudio::SampleFormat::Float32},
      {"float64", testaudio::SampleFormat::Float64},
  };
  testaudio::ClickWav shape;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--no-clicks") {
      shape.clicks = false;
      continue;
    }
    if (option.rfind("--", 0) != 0) {
      if (!out.empty()) return Usage();
      out = option;
      continue;
    }
    if (i + 1 == argc) return Usage();
    const char* value = argv[++i];
    double number = 0;
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
    } else if (option == "--rate" && ParseNumber(value, 1000, 384000, number)) {
      shape.rateHz = static_cast<uint32_t>(number);
    } else if (option == "--channels" && ParseNumber(value, 1, 8, number)) {
      shape.channels = static_cast<uint16_t>(number);
    } else {
      return Usage();
    }
  }
  if (out.empty()) return Usage();
  testaudio::WriteClickWav(out, shape);
  std::error_code error;
  if (std::filesystem::file_size(out, error) == 0 || error) {
    std::fprintf(stderr, "make_test_wav: could not write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
