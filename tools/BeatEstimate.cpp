// Prints the whole-track tempo estimate of each file, decoded through the engine as
// the analysis reads it: "bpm confidence salience agreement" per line ("- 0" and the
// measures when there is no tempo). Used by scripts/accuracy.sh.
#include <cstdio>
#include <cstring>
#include <vector>

#include "audioengine/EngineApi.h"
#include "beat/TempoEstimator.h"

namespace {

constexpr uint32_t kRequestBytes = 64 * 1024;

bool EstimateFile(const char* path, beat::TempoEstimate& estimate) {
  const uint32_t stream = BASS_StreamCreateFile(0, path, 0, 0, BASS_STREAM_DECODE);
  if (stream == 0) return false;
  beat::TempoEstimator estimator;
  std::vector<int16_t> buffer(kRequestBytes / sizeof(int16_t));
  while (BASS_ChannelIsActive(stream) != 0) {
    const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), kRequestBytes);
    if (got == static_cast<uint32_t>(-1)) break;
    estimator.Feed(buffer.data(), got / (2 * sizeof(int16_t)));
  }
  BASS_StreamFree(stream);
  estimate = estimator.Finish();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc < 2 ? stderr : stdout, "usage: beat_estimate FILE...\n");
    return argc < 2 ? 2 : 0;
  }
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    beat::TempoEstimate estimate;
    if (!EstimateFile(argv[i], estimate)) {
      std::fprintf(stderr, "beat_estimate: %s: cannot decode (engine error %d)\n", argv[i], BASS_ErrorGetCode());
      std::printf("- 0 0 0\n");
      ++failures;
      continue;
    }
    if (estimate.bpm) {
      std::printf("%.2f %.4f %.4f %.4f\n", *estimate.bpm, estimate.confidence, estimate.salience, estimate.agreement);
    } else {
      std::printf("- 0 %.4f %.4f\n", estimate.salience, estimate.agreement);
    }
  }
  return failures == 0 ? 0 : 1;
}
