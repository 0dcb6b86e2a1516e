// Track analysis: the decode loop, onset detection and interval histograms.
#include "tempo/TrackAnalysis.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/EngineBinding.h"
#include "engine/EngineStream.h"
#include "tempo/AnalysisState.h"
#include "tempo/FloatRounding.h"
#include "tempo/GainStage.h"
#include "tempo/HistogramSet.h"
#include "tempo/TempoEstimation.h"

namespace tempo {
namespace {

constexpr uint32_t kDecodeOnly = 0x200000;
constexpr uint32_t kEngineError = 0xFFFFFFFF;
// Intervals this short (in ms) are never a beat: 300 ms is 200 BPM.
constexpr double kShortestIntervalMs = 300.0;
// A bin holding more than this many intervals gathers its neighbourhood into itself.
constexpr int32_t kMergeAbove = 5;
constexpr int32_t kMergeRadius = 50;

// Sets the analysis active flag for the life of one analysis and clears it on every
// way out, after the streams declared below it are freed.
class ActiveFlagScope {
 public:
  explicit ActiveFlagScope(AnalysisState& state) : state_(state) { state_.SetActiveFlag(1); }
  ~ActiveFlagScope() { state_.SetActiveFlag(0); }
  ActiveFlagScope(const ActiveFlagScope&) = delete;
  ActiveFlagScope& operator=(const ActiveFlagScope&) = delete;

 private:
  AnalysisState& state_;
};

// The time of a byte position, rounded once to a float from the quotient worked in
// double: past 2^24 bytes a float no longer holds every position, so the position is
// never rounded on its own. Times stay floats on long tracks too: steps of about 1 ms from
// 2 h 16 min, 2 ms from 4 h 33 min.
float SecondsAt(int64_t positionBytes) {
  return static_cast<float>(static_cast<double>(positionBytes) / kFramesPerSecond / kBytesPerFrame);
}

inline int16_t LeftSample(const unsigned char* frame) {
  return static_cast<int16_t>(static_cast<uint16_t>(frame[0] | (frame[1] << 8)));
}

std::string Analyse(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state,
                    void* gainStageUser, int* openError, AudioObserver* observer = nullptr);

}  // namespace

int32_t HistogramSizeFor(int64_t lengthBytes) {
  // The length in minutes is a float, rounded once from the quotient worked in double;
  // the product with 10050 is exact in double and goes straight to the integer.
  const auto minutes = static_cast<float>(static_cast<double>(lengthBytes) / kFramesPerSecond / kBytesPerFrame / 60.0);
  return RoundToInt32(static_cast<double>(minutes) * 10050.0);
}

std::string AnalyseTrack(const std::string& path, int withGainStage, AnalysisHost& host) {
  return Analyse(path, withGainStage, host, TheAnalysisState(), nullptr, nullptr);
}

std::string AnalyseTrack(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state) {
  return Analyse(path, withGainStage, host, state, &state, nullptr);
}

PassResult AnalysePass(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state) {
  PassResult pass;
  pass.text = Analyse(path, withGainStage, host, state, &state, &pass.engineError);
  return pass;
}

PassResult AnalysePass(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state,
                       AudioObserver* observer) {
  PassResult pass;
  pass.text = Analyse(path, withGainStage, host, state, &state, &pass.engineError, observer);
  return pass;
}

namespace {

// The decode loop on `state`; the gain stage finds the state through gainStageUser.
std::string Analyse(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state,
                    void* gainStageUser, int* openError, AudioObserver* observer) {
  const ActiveFlagScope active(state);
  if (path.empty()) return {};

  engine::UniqueStream source(engine::BASS_StreamCreateFile(0, path.c_str(), 0, 0, kDecodeOnly));
  // Read at once: every later call on the missing stream sets a code of its own.
  if (!source && openError != nullptr) *openError = engine::BASS_ErrorGetCode();
  engine::BASS_SetVolume(100);
  const engine::UniqueStream tempoStream(engine::BASS_FX_TempoCreate(source.Get(), kDecodeOnly));
  // The tempo stream releases its source with it; the source is freed on its own
  // only when the tempo stream could not be made.
  if (tempoStream) source.Release();
  const uint32_t stream = tempoStream.Get();
  engine::BASS_ChannelSetAttributes(stream, -1, 100, -101);
  if (withGainStage != 0) engine::BASS_ChannelSetDSP(stream, &GainStage, gainStageUser, 0);

  std::array<unsigned char, kChunkBytes> buffer{};
  // Lengths and positions are 64-bit, so tracks of 2^31 bytes or more (3 h 22 min) are
  // read whole. The length is read as a signed number, so a failed stream (-1) or an
  // empty one gives a histogram size that is not positive.
  const auto lengthBytes = static_cast<int64_t>(engine::BASS_ChannelGetLength(stream));
  const int32_t histogramSize = HistogramSizeFor(lengthBytes);
  if (histogramSize <= 0) return {};

  HistogramSet histograms(histogramSize);
  if (!histograms.IsAllocated()) return {};
  engine::BASS_ChannelSetPosition(stream, 0);

  float backgroundLevel = 0.0f;
  uint32_t acceptedOnsets = 0;
  const float lengthAsFloat = static_cast<float>(lengthBytes);

  while (engine::BASS_ChannelIsActive(stream) != 0) {
    for (int i = 0; i < 3; ++i) host.PollEvents();
    if (host.ShouldStop()) return {};

    const uint32_t delivered = engine::BASS_ChannelGetData(stream, buffer.data(), kChunkBytes);
    // An engine that reports an error, or delivers nothing while it claims to be
    // active, would keep this loop busy for ever.
    if (delivered == kEngineError || delivered == 0) break;
    const uint32_t bytes = delivered < kChunkBytes ? delivered : kChunkBytes;
    if (observer != nullptr) observer->OnAudio(buffer.data(), bytes);

    // Level of the chunk: a running halfway average of the left channel's magnitude,
    // over whole frames only.
    float chunkLevel = 32767.0f;
    for (uint32_t offset = 0; offset + kBytesPerFrame <= bytes; offset += kBytesPerFrame) {
      const float magnitude = std::fabs(static_cast<float>(LeftSample(&buffer[offset])));
      chunkLevel = (chunkLevel + magnitude) / 2.0f;
    }
    // Stored as a float, rounded once: 3 x background is not rounded on its own.
    backgroundLevel = static_cast<float>((3.0 * backgroundLevel + chunkLevel) / 4.0);

    const auto positionBytes = static_cast<int64_t>(engine::BASS_ChannelGetPosition(stream));
    const float nowSeconds = SecondsAt(positionBytes);

    if (chunkLevel > 2.0f * backgroundLevel) {
      for (int32_t levelClass = 0; levelClass < HistogramSet::kClassCount; ++levelClass) {
        if (!(chunkLevel > static_cast<float>(HistogramSet::ThresholdOf(levelClass)))) break;
        float& lastOnsetSeconds = histograms.LastOnsetSeconds(levelClass);
        const float intervalSeconds = nowSeconds - lastOnsetSeconds;
        // Compared and rounded unrounded: the float interval times 1000 is exact in
        // double precision.
        const double intervalMs = static_cast<double>(intervalSeconds) * 1000.0;
        if (!(intervalMs > kShortestIntervalMs && intervalMs < histogramSize)) continue;

        ++acceptedOnsets;
        if (acceptedOnsets % 20 == 0) host.PauseOneMs();
        if (acceptedOnsets % 100 == 0) {
          const auto nowBytes = static_cast<int64_t>(engine::BASS_ChannelGetPosition(stream));
          float percent = static_cast<float>(nowBytes) / lengthAsFloat;
          percent *= 100.0f;
          host.SetProgress(RoundToInt32(percent));
        }
        lastOnsetSeconds = nowSeconds;

        const auto bin = static_cast<int32_t>(std::floor(intervalMs + 0.5));
        if (histograms.Increment(levelClass, bin) > kMergeAbove) {
          histograms.GatherNeighbours(levelClass, bin, kMergeRadius);
        }
      }
    }
    for (int i = 0; i < 3; ++i) host.PollEvents();
  }

  // Memory ran short for a histogram page: the counts are incomplete.
  if (!histograms.IsAllocated()) return {};
  const TempoPeriods periods = EstimateTempo(histograms, histogramSize);
  host.SetProgress(100);
  return std::to_string(periods.primaryMs) + "|" + std::to_string(periods.alternativeMs);
}

}  // namespace

}  // namespace tempo
