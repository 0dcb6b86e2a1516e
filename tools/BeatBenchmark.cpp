// Cost of the whole-track tempo estimator: its time per minute of audio, next to the
// engine's decode of the same file when one is given, and the growth of peak memory
// while it takes in hours of generated audio.
// Usage: beat_benchmark [--hours H] [FILE]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "audioengine/EngineApi.h"
#include "beat/TempoEstimator.h"

namespace {

constexpr double kRate = 44100.0;
constexpr size_t kChunkFrames = 16384;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Peak resident memory of this process in kB (Linux), or -1.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// A minute of a drum-like pattern at 123 BPM: noise bursts on the beat over quiet noise.
std::vector<int16_t> GeneratedMinute() {
  const auto frames = static_cast<size_t>(60 * kRate);
  std::vector<int16_t> stereo(2 * frames);
  uint32_t state = 1;
  const double beatFrames = 60.0 / 123.0 * kRate;
  for (size_t i = 0; i < frames; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(state >> 8) / (1u << 23) - 1.0;
    const double sinceBeat = std::fmod(static_cast<double>(i), beatFrames) / kRate;
    const double level = 0.05 + 0.6 * std::exp(-sinceBeat / 0.03);
    stereo[2 * i] = stereo[2 * i + 1] = static_cast<int16_t>(std::lround(noise * level * 32000.0));
  }
  return stereo;
}

double EstimateSeconds(const std::vector<int16_t>& stereo, beat::TempoEstimate& estimate) {
  const auto start = Clock::now();
  beat::TempoEstimator estimator;
  const size_t frames = stereo.size() / 2;
  for (size_t frame = 0; frame < frames; frame += kChunkFrames) {
    estimator.Feed(stereo.data() + 2 * frame, std::min(kChunkFrames, frames - frame));
  }
  estimate = estimator.Finish();
  return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  double hours = 0;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hours") == 0 && i + 1 < argc) {
      hours = std::atof(argv[++i]);
    } else if (argv[i][0] != '-' && file == nullptr) {
      file = argv[i];
    } else {
      std::fprintf(stderr, "usage: beat_benchmark [--hours H] [FILE]\n");
      return 2;
    }
  }

  std::vector<int16_t> audio;
  double decodeSeconds = 0;
  if (file != nullptr) {
    const auto start = Clock::now();
    const uint32_t stream = BASS_StreamCreateFile(0, file, 0, 0, BASS_STREAM_DECODE);
    if (stream == 0) {
      std::fprintf(stderr, "beat_benchmark: %s: cannot decode\n", file);
      return 1;
    }
    std::vector<int16_t> buffer(32768);
    while (BASS_ChannelIsActive(stream) != 0) {
      const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), 65536);
      if (got == static_cast<uint32_t>(-1)) break;
      audio.insert(audio.end(), buffer.begin(), buffer.begin() + got / sizeof(int16_t));
    }
    BASS_StreamFree(stream);
    decodeSeconds = SecondsSince(start);
  } else {
    audio = GeneratedMinute();
  }
  const double minutes = static_cast<double>(audio.size() / 2) / kRate / 60.0;
  double best = 1e9;
  beat::TempoEstimate estimate;
  for (int run = 0; run < 5; ++run) best = std::min(best, EstimateSeconds(audio, estimate));
  std::printf("estimator: %.2f ms per minute of audio (%.1f min, %s bpm %.2f, confidence %.2f)\n",
              1000.0 * best / minutes, minutes, file != nullptr ? file : "generated",
              estimate.bpm.value_or(0.0), estimate.confidence);
  if (file != nullptr) {
    std::printf("engine decode: %.2f ms per minute of audio; estimator / decode: %.3f\n",
                1000.0 * decodeSeconds / minutes, best / decodeSeconds);
  }

  if (hours > 0) {
    const std::vector<int16_t> minute = GeneratedMinute();
    const long before = PeakResidentKb();
    const auto start = Clock::now();
    beat::TempoEstimator estimator;
    for (long m = 0; m < std::lround(hours * 60); ++m) {
      for (size_t frame = 0; frame < minute.size() / 2; frame += kChunkFrames) {
        estimator.Feed(minute.data() + 2 * frame, std::min(kChunkFrames, minute.size() / 2 - frame));
      }
    }
    estimate = estimator.Finish();
    const long after = PeakResidentKb();
    std::printf("%.1f hours: %.1f s, peak resident memory grew by %ld kB (bpm %.2f, confidence %.2f)\n", hours,
                SecondsSince(start), after - before, estimate.bpm.value_or(0.0), estimate.confidence);
  }
  return 0;
}
