// The first pass's audio handed to the whole-track tempo estimator, in whole frames.
#include "cli/WholeTrackTempo.h"

#include <cmath>

namespace cli {

namespace {

// About 93 ms of stereo audio: few calls into the estimator, little memory.
constexpr size_t kBlockFrames = 4096;

}  // namespace

EstimatorFeed::EstimatorFeed() : block_(kBlockFrames * 2) {}

void EstimatorFeed::OnAudio(const unsigned char* bytes, uint32_t count) {
  uint32_t i = 0;
  // Samples are little-endian 16-bit; the engine may hand over an odd number of bytes.
  if (hasPartial_ && count > 0) {
    block_[blockSamples_++] = static_cast<int16_t>(static_cast<uint16_t>(partial_[0] | (bytes[0] << 8)));
    hasPartial_ = false;
    i = 1;
    if (blockSamples_ == block_.size()) Flush();
  }
  for (; i + 1 < count; i += 2) {
    block_[blockSamples_++] = static_cast<int16_t>(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    if (blockSamples_ == block_.size()) Flush();
  }
  if (i < count) {
    partial_[0] = bytes[i];
    hasPartial_ = true;
  }
}

void EstimatorFeed::Flush() {
  const size_t frames = blockSamples_ / 2;
  if (frames > 0) estimator_.Feed(block_.data(), frames);
  // A left sample whose right one has not come yet starts the next block.
  if (blockSamples_ % 2 != 0) block_[0] = block_[blockSamples_ - 1];
  blockSamples_ %= 2;
}

tempo::ObservedTempo EstimatorFeed::Finish() {
  Flush();
  const beat::TempoEstimate estimate = estimator_.Finish();
  tempo::ObservedTempo observed;
  if (estimate.bpm && std::isfinite(*estimate.bpm) && *estimate.bpm > 0.0) {
    observed.bpm = estimate.bpm;
    observed.confidence = std::isfinite(estimate.confidence) ? estimate.confidence : 0.0;
  }
  return observed;
}

tempo::ParallelAnalyser::Pass EstimatingPass() {
  return [](const std::string& path, int withGainStage, tempo::AnalysisHost& host, tempo::AnalysisState& state) {
    if (withGainStage != 0) return tempo::AnalysePass(path, withGainStage, host, state);
    EstimatorFeed feed;
    tempo::PassResult pass = tempo::AnalysePass(path, withGainStage, host, state, &feed);
    // A pass that gave nothing read no audio worth an estimate, or was stopped.
    if (!pass.text.empty()) pass.observed = feed.Finish();
    return pass;
  };
}

}  // namespace cli
