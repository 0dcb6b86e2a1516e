// The first pass's audio handed to the whole-track tempo estimator, in whole frames.
#include "cli/WholeTrackTempo.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace cli {

namespace {

// About 93 ms of stereo audio: few calls into the estimator, little memory.
constexpr size_t kBlockFrames = 4096;

}  // namespace

EstimatorFeed::EstimatorFeed() : block_(kBlockFrames * 2) {}

void EstimatorFeed::OnAudio(const unsigned char* bytes, uint32_t count) {
  // Samples are little-endian 16-bit; the engine may hand over an odd number of bytes.
  if (hasPartial_ && count > 0) {
    block_[blockSamples_++] = static_cast<int16_t>(static_cast<uint16_t>(partial_[0] | (bytes[0] << 8)));
    hasPartial_ = false;
    ++bytes;
    --count;
    if (blockSamples_ == block_.size()) Flush();
  }
  // Whole samples go over a run at a time, as far as the block has room.
  while (count >= 2) {
    const size_t samples = std::min<size_t>(count / 2, block_.size() - blockSamples_);
    int16_t* to = block_.data() + blockSamples_;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(to, bytes, 2 * samples);
    } else {
      for (size_t i = 0; i < samples; ++i) {
        to[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
      }
    }
    blockSamples_ += samples;
    bytes += 2 * samples;
    count -= static_cast<uint32_t>(2 * samples);
    if (blockSamples_ == block_.size()) Flush();
  }
  if (count == 1) {
    partial_[0] = bytes[0];
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
