// The whole-track tempo beside the window's analysis: the estimator watches the audio
// the first pass decodes anyway, so every file is decoded once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "beat/TempoEstimator.h"
#include "tempo/ParallelAnalyser.h"
#include "tempo/TrackAnalysis.h"

namespace cli {

// Feeds the bytes a pass reads to a tempo estimator in whole frames, a block at a time;
// a frame split between two reads is kept until its other half comes.
class EstimatorFeed final : public tempo::AudioObserver {
 public:
  EstimatorFeed();
  void OnAudio(const unsigned char* bytes, uint32_t count) override;
  // The estimate for everything seen so far.
  tempo::ObservedTempo Finish();

 private:
  void Flush();

  beat::TempoEstimator estimator_;
  std::vector<int16_t> block_;
  size_t blockSamples_ = 0;
  unsigned char partial_[2] = {0, 0};
  bool hasPartial_ = false;
};

// The analysis pass of the tool: the first pass of a file also gives the whole-track
// estimate of the audio it read (none when it read nothing); a retry pass is the plain one.
tempo::ParallelAnalyser::Pass EstimatingPass();

}  // namespace cli
