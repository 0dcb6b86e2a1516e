// Prints the whole-track tempo estimate of each file, decoded through the engine as
// the analysis reads it: "bpm confidence salience agreement probability margin
// octave-margin subdivision" per line ("- 0" and the measures when there is no tempo). Used to tune
// the estimator (scripts/tune-confidence.py).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audioengine/EngineApi.h"
#include "beat/TempoEstimator.h"

namespace {

constexpr uint32_t kRequestBytes = 64 * 1024;

// Decodes a file and hands its audio to `feed` piece by piece.
template <typename Feed>
bool DecodeFile(const char* path, Feed feed) {
  const uint32_t stream = BASS_StreamCreateFile(0, path, 0, 0, BASS_STREAM_DECODE);
  if (stream == 0) return false;
  std::vector<int16_t> buffer(kRequestBytes / sizeof(int16_t));
  while (BASS_ChannelIsActive(stream) != 0) {
    const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), kRequestBytes);
    if (got == static_cast<uint32_t>(-1)) break;
    feed(buffer.data(), got / (2 * sizeof(int16_t)));
  }
  BASS_StreamFree(stream);
  return true;
}

bool EstimateFile(const char* path, const beat::PeriodChoice& choice, beat::TempoEstimate& estimate) {
  beat::TempoEstimator estimator(choice);
  if (!DecodeFile(path, [&](const int16_t* audio, size_t frames) { estimator.Feed(audio, frames); })) return false;
  estimate = estimator.Finish();
  return true;
}

// The mean normalised autocorrelations of the file's onset envelope and of its low
// bands', kMaxLag + 1 values each, on one line parted by "|" (empty when there are
// none), for tuning the octave decision.
bool PrintAcf(const char* path) {
  beat::OnsetEnvelope onsets;
  beat::Periodicity periodicity;
  std::vector<float> values, lowValues;
  const bool decoded = DecodeFile(path, [&](const int16_t* audio, size_t frames) {
    values.clear();
    lowValues.clear();
    onsets.Feed(audio, frames, values, lowValues);
    periodicity.Add(values.data(), lowValues.data(), values.size());
  });
  const beat::PeriodResult result = periodicity.Finish();
  for (size_t lag = 0; lag < result.meanAcf.size(); ++lag) std::printf(lag == 0 ? "%.17g" : " %.17g", result.meanAcf[lag]);
  std::printf(" |");
  for (double value : result.meanLowAcf) std::printf(" %.17g", value);
  std::printf("\n");
  return decoded;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc < 2 ? stderr : stdout,
                 "usage: beat_estimate [--prefer BPM] [--width OCTAVES] [--double WEIGHT] FILE...\n"
                 "       beat_estimate --acf FILE...\n");
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--acf") == 0) {
    int failures = 0;
    for (int i = 2; i < argc; ++i) failures += PrintAcf(argv[i]) ? 0 : 1;
    return failures == 0 ? 0 : 1;
  }
  // The options try other constants of the period choice when tuning on the set.
  beat::PeriodChoice choice;
  int first = 1;
  for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
    const double value = std::atof(argv[first + 1]);
    if (std::strcmp(argv[first], "--prefer") == 0) {
      choice.preferredBpm = value;
    } else if (std::strcmp(argv[first], "--width") == 0) {
      choice.preferredWidthOctaves = value;
    } else if (std::strcmp(argv[first], "--double") == 0) {
      choice.doubleWeight = value;
    } else {
      std::fprintf(stderr, "beat_estimate: unknown option %s\n", argv[first]);
      return 2;
    }
  }
  int failures = 0;
  for (int i = first; i < argc; ++i) {
    beat::TempoEstimate estimate;
    if (!EstimateFile(argv[i], choice, estimate)) {
      std::fprintf(stderr, "beat_estimate: %s: cannot decode (engine error %d)\n", argv[i], BASS_ErrorGetCode());
      std::printf("- 0 0 0 0 0 0 0 0\n");
      ++failures;
      continue;
    }
    if (estimate.bpm) {
      std::printf("%.2f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", *estimate.bpm, estimate.confidence, estimate.salience,
                  estimate.agreement, estimate.probability, estimate.margin, estimate.octaveMargin,
                  estimate.subdivision, estimate.onsetStrength);
    } else {
      std::printf("- 0 %.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", estimate.salience, estimate.agreement,
                  estimate.probability, estimate.margin, estimate.octaveMargin, estimate.subdivision,
                  estimate.onsetStrength);
    }
  }
  return failures == 0 ? 0 : 1;
}
