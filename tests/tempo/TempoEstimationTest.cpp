// Tests of the tempo estimation: peak search over the level classes, the quicksort's
// order of tied peaks, candidate pairing and the artefact periods.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "tempo/HistogramSet.h"
#include "tempo/TempoEstimation.h"

namespace tempo {
namespace {

constexpr int32_t kThreeMinutesH = 30150;

struct Bin {
  int32_t levelClass;
  int32_t periodMs;
  int32_t count;
};

HistogramSet MakeSet(int32_t histogramSize, const std::vector<Bin>& bins) {
  HistogramSet set(histogramSize);
  for (const Bin& bin : bins) {
    EXPECT_TRUE(set.SetCount(bin.levelClass, bin.periodMs, bin.count)) << bin.levelClass << " " << bin.periodMs;
  }
  return set;
}

// Each (period, count) alone in its own class, the classes scanned in the order of
// rising counts, so every one becomes a peak and the sorted candidate order is the
// order of falling counts, which is the order given here.
std::vector<Bin> Candidates(const std::vector<std::pair<int32_t, int32_t>>& periodCounts) {
  std::vector<std::pair<int32_t, int32_t>> rising = periodCounts;
  std::sort(rising.begin(), rising.end(), [](auto a, auto b) { return a.second < b.second; });
  std::vector<Bin> bins;
  int32_t levelClass = HistogramSet::kClassCount - 1;
  for (auto [periodMs, count] : rising) {
    bins.push_back({levelClass--, periodMs, count});
  }
  return bins;
}

struct EstimateCase {
  std::string name;
  int32_t setSize;
  int32_t histogramSize;
  std::vector<Bin> bins;
  TempoPeriods expected;
};

class EstimateTempoCases : public testing::TestWithParam<EstimateCase> {};

TEST_P(EstimateTempoCases, GivesExpectedPeriods) {
  const EstimateCase& c = GetParam();
  const HistogramSet set = MakeSet(c.setSize, c.bins);
  const TempoPeriods got = EstimateTempo(set, c.histogramSize);
  EXPECT_EQ(got.primaryMs, c.expected.primaryMs);
  EXPECT_EQ(got.alternativeMs, c.expected.alternativeMs);
}

const EstimateCase kEstimateCases[] = {
    {"EmptySet", kThreeMinutesH, kThreeMinutesH, {}, {0, 0}},
    // 5 is not above 5; 304 and 1201 lie outside the period range.
    {"NothingAboveFiveInRange",
     kThreeMinutesH,
     kThreeMinutesH,
     {{0, 500, 5}, {3, 800, 5}, {0, 304, 50}, {0, 1201, 50}, {29, 200, 90}},
     {0, 0}},
    // Equal counts inside one class: the later (longer) period replaces the earlier.
    {"EqualCountsInClassTakeLongerPeriod", kThreeMinutesH, kThreeMinutesH, {{5, 500, 6}, {5, 700, 6}}, {700, 0}},
    {"RangeEndsIncluded305", kThreeMinutesH, kThreeMinutesH, Candidates({{305, 12}}), {305, 0}},
    {"RangeEndsIncluded1200", kThreeMinutesH, kThreeMinutesH, Candidates({{1200, 12}}), {1200, 0}},
    {"PartnerInLaterPosition", kThreeMinutesH, kThreeMinutesH, Candidates({{600, 12}, {1200, 10}}), {1200, 600}},
    {"PartnerInEarlierPositionIsNoPair",
     kThreeMinutesH,
     kThreeMinutesH,
     Candidates({{1200, 12}, {600, 10}}),
     {1200, 0}},
    // 1.9 x 500 = 950 and 2.1 x 500 = 1050 are excluded, strictly.
    {"LowerBoundExcluded950", kThreeMinutesH, kThreeMinutesH, Candidates({{500, 12}, {950, 10}}), {500, 0}},
    {"LowerBoundInside951", kThreeMinutesH, kThreeMinutesH, Candidates({{500, 12}, {951, 10}}), {951, 500}},
    {"UpperBoundInside1049", kThreeMinutesH, kThreeMinutesH, Candidates({{500, 12}, {1049, 10}}), {1049, 500}},
    {"UpperBoundExcluded1050", kThreeMinutesH, kThreeMinutesH, Candidates({{500, 12}, {1050, 10}}), {500, 0}},
    // 500 pairs with 1000, then 400 with 800: the last position with a partner wins.
    {"LastCandidateWithPartnerWins",
     kThreeMinutesH,
     kThreeMinutesH,
     Candidates({{500, 13}, {400, 12}, {1000, 11}, {800, 10}}),
     {800, 400}},
    // 1010 / 500 = 202 % and 990 / 500 = 198 %: equally far from 200, the first stays.
    {"EqualDistancePartnerKeepsEarlier",
     kThreeMinutesH,
     kThreeMinutesH,
     Candidates({{500, 12}, {1010, 11}, {990, 10}}),
     {1010, 500}},
    // 1020 (204 %) comes first, 990 (198 %) is closer to 200 and replaces it.
    {"CloserPartnerReplaces",
     kThreeMinutesH,
     kThreeMinutesH,
     Candidates({{500, 12}, {1020, 11}, {990, 10}}),
     {990, 500}},
    {"LoneArtefact", kThreeMinutesH, kThreeMinutesH, Candidates({{348, 12}}), {0, 0}},
    {"ArtefactAfterBeat", kThreeMinutesH, kThreeMinutesH, Candidates({{500, 12}, {348, 10}}), {500, 0}},
    {"ArtefactBeforeBeat", kThreeMinutesH, kThreeMinutesH, Candidates({{348, 12}, {500, 10}}), {500, 0}},
    {"AllArtefacts",
     kThreeMinutesH,
     kThreeMinutesH,
     Candidates({{325, 15}, {348, 14}, {372, 13}, {395, 12}, {418, 11}}),
     {0, 0}},
    // An artefact period with a partner is a pair like any other.
    {"ArtefactWithPartnerPairs", kThreeMinutesH, kThreeMinutesH, Candidates({{325, 12}, {650, 10}}), {650, 325}},
    // The best count carries over: a quieter class's 7 never beats a louder class's 8,
    // so 1000 is no candidate and 500 stays alone.
    {"RunningBestCarriesOverClasses", kThreeMinutesH, kThreeMinutesH, {{29, 500, 8}, {0, 1000, 7}}, {500, 0}},
    // With H = 1000 the 1200 bin, though stored, counts as 0.
    {"BinsAboveHCountAsZero", kThreeMinutesH, 1000, Candidates({{600, 12}, {1200, 10}}), {600, 0}},
    {"HBelowShortestPeriod", kThreeMinutesH, 300, Candidates({{600, 12}, {1200, 10}}), {0, 0}},
    // An H larger than the set's own bins reads the missing bins as 0.
    {"HBeyondStoredBins", 700, kThreeMinutesH, {{29, 600, 12}}, {600, 0}},
    // Ties: class 29 makes (600, 8), class 28 reaches the same 8 at 1200. The quicksort
    // of positions 0..1200 (all 0 but K(600) = K(1200) = 8):
    //   Partition(0, 1200): K(0) = 0 < K(1200) = 8, pivot mid = 600; swap 0 and 600,
    //   P = 8. j stops at 1200, i at 0: swap, so position 0 holds the 1200 record and
    //   1200 the 600 record. j runs down to 0, i stops at 1: return 0.
    //   Partition(1, 1200): K(1) = 0 < K(1200) = 8, pivot 600 (a zero), P = 0. j stops
    //   at 1200, i at 1: swap, so position 1 holds the 600 record; the rest are zeros.
    // Candidates 1200 then 600: 600 is not a later partner of 1200, so no pair.
    {"TieOrderFromQuicksortDecides", kThreeMinutesH, kThreeMinutesH, {{29, 600, 8}, {28, 1200, 8}}, {1200, 0}},
};

INSTANTIATE_TEST_SUITE_P(Cases, EstimateTempoCases, testing::ValuesIn(kEstimateCases),
                         [](const testing::TestParamInfo<EstimateCase>& param) { return param.param.name; });

TEST(EstimateTempo, UnallocatedSetGivesNoPeriods) {
  const HistogramSet set(0);
  EXPECT_FALSE(set.IsAllocated());
  EXPECT_EQ(EstimateTempo(set, kThreeMinutesH), (TempoPeriods{0, 0}));
}

// Input [400:1, 500:3, 600:3]. Partition(0, 2): K(0) = 1 < K(2) = 3, pivot mid = 1;
// swap 0 and 1 -> [500, 400, 600], P = 3; j = 2, i = 0: swap -> [600, 400, 500];
// j falls to 0, i stops at 1: return 0. Partition(1, 2) on [400:1, 500:3]:
// K(1) < K(2), pivot 1, P = 1; j = 2, i = 1: swap -> [500, 400]; return 1.
// Result [600, 500, 400]: the tied 500 and 600 come out in reverse input order.
TEST(SortPeaksByCount, TiedRecordsEndInPartitionOrder) {
  std::vector<PeakRecord> peaks = {{400, 1}, {500, 3}, {600, 3}};
  SortPeaksByCount(peaks);
  EXPECT_EQ(peaks[0].periodMs, 600);
  EXPECT_EQ(peaks[1].periodMs, 500);
  EXPECT_EQ(peaks[2].periodMs, 400);
}

// Whatever the tie order, the result must be a permutation in falling count order.
class SortPeaksProperty : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(SortPeaksProperty, GivesFallingCountsAndKeepsEveryRecord) {
  const auto [size, countRange] = GetParam();
  uint32_t seed = static_cast<uint32_t>(size * 7919 + countRange);
  std::vector<PeakRecord> peaks(static_cast<size_t>(size));
  for (int32_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    peaks[static_cast<size_t>(i)] = {i, static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(countRange))};
  }
  std::vector<PeakRecord> sorted = peaks;
  SortPeaksByCount(sorted);
  for (size_t i = 1; i < sorted.size(); ++i) {
    ASSERT_GE(sorted[i - 1].count, sorted[i].count) << "at position " << i;
  }
  auto byPeriod = [](const PeakRecord& a, const PeakRecord& b) { return a.periodMs < b.periodMs; };
  std::sort(peaks.begin(), peaks.end(), byPeriod);
  std::sort(sorted.begin(), sorted.end(), byPeriod);
  for (size_t i = 0; i < peaks.size(); ++i) {
    ASSERT_EQ(sorted[i].periodMs, peaks[i].periodMs);
    ASSERT_EQ(sorted[i].count, peaks[i].count);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SortPeaksProperty,
                         testing::Combine(testing::Values(1, 2, 3, 17, 1201), testing::Values(1, 2, 5, 1000)));

TEST(HistogramSet, HoldsZeroedBinsZeroToHPerClass) {
  HistogramSet set(kThreeMinutesH);
  ASSERT_TRUE(set.IsAllocated());
  EXPECT_EQ(set.HistogramSize(), kThreeMinutesH);
  for (int32_t levelClass = 0; levelClass < HistogramSet::kClassCount; ++levelClass) {
    for (int32_t bin = 0; bin <= kThreeMinutesH; ++bin) ASSERT_EQ(set.Count(levelClass, bin), 0);
    EXPECT_EQ(set.LastOnsetSeconds(levelClass), 0.0f);
  }
  // Classes do not overlap: the last bin of one class is not the first of the next.
  EXPECT_TRUE(set.SetCount(3, kThreeMinutesH, 7));
  EXPECT_EQ(set.Count(4, 0), 0);
  EXPECT_EQ(set.Count(3, kThreeMinutesH), 7);
  EXPECT_EQ(HistogramSet::ThresholdOf(29), 29000);
}

TEST(HistogramSet, OutOfRangeReadsCountZero) {
  HistogramSet set(10);
  EXPECT_TRUE(set.SetCount(0, 10, 9));
  EXPECT_EQ(set.Count(0, 10), 9);
  EXPECT_EQ(set.Count(0, 11), 0);
  EXPECT_EQ(set.Count(0, -1), 0);
  EXPECT_EQ(set.Count(30, 5), 0);
  EXPECT_EQ(set.Count(-1, 5), 0);
  EXPECT_FALSE(set.SetCount(0, 11, 1));
  EXPECT_FALSE(set.SetCount(30, 5, 1));
  EXPECT_EQ(set.Increment(0, 11), 0);
  EXPECT_FALSE(HistogramSet(-5).IsAllocated());
}

}  // namespace
}  // namespace tempo
