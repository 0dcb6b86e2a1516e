// Tempo estimation: turns the interval histograms of a whole track into a primary and
// an alternative beat period in milliseconds (0 for none).
#pragma once

#include <cstdint>
#include <span>

#include "tempo/HistogramSet.h"

namespace tempo {

struct TempoPeriods {
  int32_t primaryMs = 0;
  int32_t alternativeMs = 0;

  bool operator==(const TempoPeriods&) const = default;
};

// One record of the peak table: the best period found so far and its count.
struct PeakRecord {
  int32_t periodMs = 0;
  int32_t count = 0;
};

// Beat periods considered: 305 ms (196.72 BPM) to 1200 ms (50 BPM).
constexpr int32_t kShortestPeriodMs = 305;
constexpr int32_t kLongestPeriodMs = 1200;

// Sorts by count, highest first, with the program's own quicksort (median-ish pivot,
// Hoare partition). Not stable: the order it leaves tied records in decides which
// pair of periods the estimation finds, so no other sort may stand in for it.
void SortPeaksByCount(std::span<PeakRecord> peaks);

// Bins above histogramSize (and beyond the set's own bins) count as 0.
TempoPeriods EstimateTempo(const HistogramSet& histograms, int32_t histogramSize);

}  // namespace tempo
