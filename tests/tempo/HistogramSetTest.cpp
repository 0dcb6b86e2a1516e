// Tests of the paged histogram set: a long track's set holds only the pages written,
// merges leave empty pages alone, and counts equal those of plain arrays filled by the
// same onset rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "tempo/HistogramSet.h"

namespace tempo {
namespace {

constexpr int32_t kSevenHoursH = 420 * 10050;
constexpr size_t kPageBytes = sizeof(int32_t) * HistogramSet::kBinsPerPage;
constexpr int32_t kMergeAbove = 5;
constexpr int32_t kMergeRadius = 50;

TEST(PagedHistogramSet, SevenHourSetHoldsOnlyThePagesWritten) {
  HistogramSet set(kSevenHoursH);
  ASSERT_TRUE(set.IsAllocated());
  const size_t empty = set.AllocatedBytes();
  // Plain arrays would take 30 x (H + 1) x 4 bytes, about 506 MB.
  EXPECT_LT(empty, size_t{4096});

  EXPECT_EQ(set.Increment(0, 500), 1);
  EXPECT_EQ(set.Increment(0, 501), 1);
  const size_t onePage = set.AllocatedBytes();
  EXPECT_GE(onePage - empty, kPageBytes);
  EXPECT_LT(onePage - empty, 4 * kPageBytes);

  // The last bin, in the last page of the last class, is one more page.
  EXPECT_EQ(set.Increment(29, kSevenHoursH), 1);
  EXPECT_EQ(set.Count(29, kSevenHoursH), 1);
  EXPECT_GE(set.AllocatedBytes() - onePage, kPageBytes);
  const size_t written = set.AllocatedBytes();
  EXPECT_LT(written, size_t{1} << 20);

  // Reads, zero writes and merges over pages never written allocate nothing.
  EXPECT_EQ(set.Count(7, 3'000'000), 0);
  EXPECT_TRUE(set.SetCount(7, 3'000'000, 0));
  EXPECT_EQ(set.GatherNeighbours(7, 3'000'000, kMergeRadius), 0);
  EXPECT_EQ(set.Count(7, 3'000'000), 0);
  // Bin 4096 starts page 1: gathering there reads page 0 and leaves page 1 unwritten
  // when page 0 holds nothing either.
  EXPECT_EQ(set.GatherNeighbours(3, HistogramSet::kBinsPerPage, kMergeRadius), 0);
  EXPECT_EQ(set.AllocatedBytes(), written);

  // Bin 4096 takes the counts of page 0 around it; pages that lie wholly beyond the
  // reach of the merge stay unwritten.
  EXPECT_TRUE(set.SetCount(3, HistogramSet::kBinsPerPage - 50, 2));
  EXPECT_TRUE(set.SetCount(3, HistogramSet::kBinsPerPage - 51, 4));
  EXPECT_EQ(set.GatherNeighbours(3, HistogramSet::kBinsPerPage, kMergeRadius), 2);
  EXPECT_EQ(set.Count(3, HistogramSet::kBinsPerPage - 50), 0);
  EXPECT_EQ(set.Count(3, HistogramSet::kBinsPerPage - 51), 4);
  EXPECT_EQ(set.Count(3, HistogramSet::kBinsPerPage), 2);
  EXPECT_LT(set.AllocatedBytes() - written, 3 * kPageBytes);
  EXPECT_TRUE(set.IsAllocated());
}

TEST(PagedHistogramSet, LargestHistogramSizeStartsSmall) {
  HistogramSet set(INT32_MAX);
  ASSERT_TRUE(set.IsAllocated());
  EXPECT_LT(set.AllocatedBytes(), size_t{1} << 20);
  EXPECT_EQ(set.Increment(0, INT32_MAX), 1);
  EXPECT_EQ(set.GatherNeighbours(0, INT32_MAX - 10, kMergeRadius), 1);
  EXPECT_EQ(set.Count(0, INT32_MAX), 0);
  EXPECT_EQ(set.Count(0, INT32_MAX - 10), 1);
}

// Onsets drawn at random around page boundaries, the ends of the histogram and a few
// beats, counted by the set and by plain arrays with the analysis's own merge: every
// bin must agree.
class PagedHistogramSetMatchesArrays : public testing::TestWithParam<int32_t> {};

TEST_P(PagedHistogramSetMatchesArrays, AfterRandomOnsetsAndMerges) {
  const int32_t histogramSize = GetParam();
  const std::vector<int32_t> classes = {0, 13, 29};
  HistogramSet set(histogramSize);
  ASSERT_TRUE(set.IsAllocated());
  std::vector<std::vector<int32_t>> arrays(classes.size(), std::vector<int32_t>(size_t(histogramSize) + 1));

  const int32_t page = HistogramSet::kBinsPerPage;
  const std::vector<int32_t> centres = {
      0, 40, page - 1, page, page + 1, 2 * page, histogramSize / 2, 500, 2 * 500, histogramSize - 1, histogramSize};
  std::mt19937 random(static_cast<uint32_t>(histogramSize));
  for (int onset = 0; onset < 20000; ++onset) {
    const size_t which = random() % classes.size();
    int64_t bin = 0;
    if (random() % 8 == 0) {
      bin = random() % (uint32_t(histogramSize) + 1);
    } else {
      bin = centres[random() % centres.size()] + static_cast<int32_t>(random() % 121) - 60;
    }
    bin = std::clamp<int64_t>(bin, 0, histogramSize);
    const auto b = static_cast<int32_t>(bin);

    std::vector<int32_t>& bins = arrays[which];
    int32_t& count = bins[size_t(b)];
    ASSERT_EQ(set.Increment(classes[which], b), ++count) << "onset " << onset;
    if (count > kMergeAbove) {
      const int32_t first = std::max(0, b - kMergeRadius);
      const int32_t last = std::min(histogramSize, b + kMergeRadius);
      for (int32_t other = first; other <= last; ++other) {
        if (other == b) continue;
        count += bins[size_t(other)];
        bins[size_t(other)] = 0;
      }
      ASSERT_EQ(set.GatherNeighbours(classes[which], b, kMergeRadius), count) << "onset " << onset;
    }
  }
  for (size_t which = 0; which < classes.size(); ++which) {
    for (int32_t bin = 0; bin <= histogramSize; ++bin) {
      ASSERT_EQ(set.Count(classes[which], bin), arrays[which][size_t(bin)]) << classes[which] << " " << bin;
    }
  }
  for (int32_t bin = 0; bin <= histogramSize; bin += 97) ASSERT_EQ(set.Count(1, bin), 0);
  EXPECT_TRUE(set.IsAllocated());
}

// Smaller than the merge reach, exactly one page, a three-minute track, a long one.
INSTANTIATE_TEST_SUITE_P(Sizes, PagedHistogramSetMatchesArrays, testing::Values(60, 4095, 30150, 1'000'000));

}  // namespace
}  // namespace tempo
