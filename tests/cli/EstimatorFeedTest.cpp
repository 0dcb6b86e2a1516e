// The bytes an analysis pass reads, handed to the whole-track estimator in pieces of any
// size: the estimate is the one the estimator gives for the same frames fed whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "beat/TempoEstimator.h"
#include "cli/WholeTrackTempo.h"
#include "testaudio/TestAudio.h"

namespace {

// 20 s of stereo clicks at 125 BPM, the right channel quieter and a little late, as
// little-endian bytes: a byte or channel out of place changes the estimate.
std::vector<int16_t> StereoClicks() {
  const std::vector<int16_t> mono = testaudio::ClickTrack(44100, 20.0, 480.0);
  std::vector<int16_t> stereo(mono.size() * 2);
  for (size_t i = 0; i < mono.size(); ++i) {
    stereo[2 * i] = mono[i];
    stereo[2 * i + 1] = i >= 300 ? static_cast<int16_t>(mono[i - 300] / 3) : 0;
  }
  return stereo;
}

std::vector<unsigned char> LittleEndian(const std::vector<int16_t>& samples) {
  std::vector<unsigned char> bytes;
  for (int16_t sample : samples) {
    const auto value = static_cast<uint16_t>(sample);
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
  }
  return bytes;
}

class EstimatorFeedTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(EstimatorFeedTest, PiecesOfAnySizeGiveTheWholeFramesEstimate) {
  const std::vector<int16_t> stereo = StereoClicks();
  beat::TempoEstimator whole;
  whole.Feed(stereo.data(), stereo.size() / 2);
  const beat::TempoEstimate expected = whole.Finish();
  ASSERT_TRUE(expected.bpm);
  EXPECT_NEAR(*expected.bpm, 125.0, 1.25);

  const std::vector<unsigned char> bytes = LittleEndian(stereo);
  cli::EstimatorFeed feed;
  const uint32_t piece = GetParam();
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const auto count = static_cast<uint32_t>(std::min<size_t>(piece, bytes.size() - at));
    feed.OnAudio(bytes.data() + at, count);
  }
  const tempo::ObservedTempo observed = feed.Finish();
  ASSERT_TRUE(observed.bpm);
  EXPECT_EQ(*observed.bpm, *expected.bpm);
  EXPECT_EQ(observed.confidence, expected.confidence);
}

// 441 bytes is what the analysis reads at a time: 110 frames and a quarter.
INSTANTIATE_TEST_SUITE_P(PieceBytes, EstimatorFeedTest, ::testing::Values(441u, 1u, 3u, 4u, 16385u, 1u << 20));

TEST(EstimatorFeedTest, NothingFedGivesNoValueAndNoConfidence) {
  cli::EstimatorFeed feed;
  const unsigned char oneByte = 7;
  feed.OnAudio(&oneByte, 1);
  const tempo::ObservedTempo observed = feed.Finish();
  EXPECT_FALSE(observed.bpm);
  EXPECT_EQ(observed.confidence, 0.0);
}

}  // namespace
