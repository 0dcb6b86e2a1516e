// Track analysis: decodes one file through the engine, detects onsets from the level
// of the left channel, collects onset intervals per level class and estimates the
// beat period from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tempo {

class AnalysisState;

// What the analysis needs of the user interface. The worker owns no windows, so its
// event poll may do nothing; the program's host forwards progress to the main thread.
class AnalysisHost {
 public:
  virtual ~AnalysisHost() = default;
  // Progress bar position, 0 to 100.
  virtual void SetProgress(int percent) = 0;
  // The short pause every 20 accepted onsets that keeps the machine responsive.
  virtual void PauseOneMs() = 0;
  // One non-blocking poll of the window events; whatever it fetches is discarded.
  virtual void PollEvents() = 0;
  // True when the analysis should give up (checked once per chunk).
  virtual bool ShouldStop() = 0;
};

// A host that does nothing and never stops: for tools and tests.
class QuietAnalysisHost : public AnalysisHost {
 public:
  void SetProgress(int) override {}
  void PauseOneMs() override {}
  void PollEvents() override {}
  bool ShouldStop() override { return false; }
};

// Decoded audio is read as 16-bit stereo at 44100 Hz, whatever the file holds.
constexpr uint32_t kBytesPerFrame = 4;
constexpr float kFramesPerSecond = 44100.0f;
// Bytes read per engine call: about 2.5 ms of audio, the resolution of onset times.
constexpr uint32_t kChunkBytes = 441;

// Returns "P|A" (primary and alternative period in whole milliseconds, 0 for none), or
// empty text when the file gives no analysis at all or the host asked to stop.
// withGainStage 1 attaches the gain stage to the stream before reading. Uses the
// process-wide analysis state, which the gain stage then reaches with user value 0.
std::string AnalyseTrack(const std::string& path, int withGainStage, AnalysisHost& host);

// The same on a state of the caller's own, which the gain stage reaches through its
// user value: analyses with states of their own can run on several threads at once.
// The state's curve is needed only with the gain stage and is changed by it.
std::string AnalyseTrack(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state);

// A second opinion on a pass's audio, made by whoever watched it decode (see
// AudioObserver): a tempo in beats per minute, or none, and how sure it is, 0 to 1.
struct ObservedTempo {
  std::optional<double> bpm;
  double confidence = 0.0;
};

// One pass's result text, and why the engine refused the file when it could not open
// it (its error code, 0 when it opened the file or the pass never asked it to).
// `observed` is filled in by a caller that watched the pass's audio; none otherwise.
struct PassResult {
  std::string text;
  int engineError = 0;
  std::optional<ObservedTempo> observed = std::nullopt;
};

// Sees every byte a pass reads from the engine, in order, as the analysis gets it:
// 16-bit little-endian stereo at 44100 Hz, in pieces that need not end on a whole
// frame. It only watches: the analysis and its result are the same with or without it.
class AudioObserver {
 public:
  virtual ~AudioObserver() = default;
  virtual void OnAudio(const unsigned char* bytes, uint32_t count) = 0;
};

// AnalyseTrack on a state of the caller's own, with the engine's reason when the file
// could not be opened.
PassResult AnalysePass(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state);

// The same, handing every byte read to `observer` as well (none: as above).
PassResult AnalysePass(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state,
                       AudioObserver* observer);

// The histogram size H for a decoded length in bytes: the length in minutes times
// 10050, rounded to the nearest integer (ties to even); it saturates at INT32_MAX, some
// 3500 hours of audio.
int32_t HistogramSizeFor(int64_t lengthBytes);

}  // namespace tempo
