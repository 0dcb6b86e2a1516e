// The tempo inside a range: parsing "MIN-MAX" and choosing primary, alternative or an octave.
#include <gtest/gtest.h>

#include <optional>

#include "tempo/Range.h"

namespace {

using namespace tempo;

struct RangeCase {
  float primary;
  float alternative;
  double minBpm;
  double maxBpm;
  std::optional<float> expected;
};

class TempoInRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(TempoInRangeTest, ChoosesPrimaryAlternativeOrAnOctave) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(TempoInRange(c.primary, c.alternative, TempoRange{c.minBpm, c.maxBpm}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TempoInRangeTest,
                         ::testing::Values(RangeCase{120.0f, 60.0f, 70, 140, 120.0f},        // primary inside
                                           RangeCase{180.0f, 90.0f, 70, 140, 90.0f},         // alternative inside
                                           RangeCase{180.0f, 0.0f, 70, 140, 90.0f},          // halved
                                           RangeCase{40.0f, 0.0f, 70, 140, 80.0f},           // doubled
                                           RangeCase{30.0f, 0.0f, 70, 140, 120.0f},          // doubled twice
                                           RangeCase{600.0f, 0.0f, 70, 140, 75.0f},          // halved three times
                                           RangeCase{140.0f, 0.0f, 70, 140, 140.0f},         // upper end included
                                           RangeCase{69.996f, 0.0f, 70, 140, 69.996f},       // shown as 70.00
                                           RangeCase{0.0f, 120.0f, 70, 140, std::nullopt},   // no primary
                                           RangeCase{120.0f, 0.0f, 100, 110, std::nullopt},  // narrower than an octave
                                           RangeCase{120.0f, 105.0f, 100, 110, 105.0f},
                                           RangeCase{117.19f, 58.59f, 85, 170, 117.19f}));

TEST(ParseRangeTest, AcceptsDecimalBoundsAndRejectsTheRest) {
  const std::optional<TempoRange> range = ParseRange("85.5-170");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->minBpm, 85.5);
  EXPECT_EQ(range->maxBpm, 170.0);
  EXPECT_TRUE(ParseRange("100-100"));
  for (const char* bad : {"", "-", "70", "70-", "-140", "140-70", "0-100", "70-140-200", "a-b", "7e1-140", "inf-inf",
                          "70,5-140", " 70-140", "+70-140"}) {
    EXPECT_FALSE(ParseRange(bad)) << bad;
  }
}

}  // namespace
