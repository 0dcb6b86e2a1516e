// Tempo estimation: a running best peak over the level classes, a quicksort of the
// peaks by count, and the search for a peak about twice as long as another.
#include "tempo/TempoEstimation.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tempo {

namespace {

// Counts of 5 or less are noise rather than a beat.
constexpr int32_t kMinimumPeakCount = 5;
constexpr int32_t kMaxCandidates = 50;
constexpr double kLowestPartnerFactor = 1.9;
constexpr double kHighestPartnerFactor = 2.1;
constexpr double kDoublePeriodPercent = 200.0;

// Fixed periods, about 23 ms (1024 frames) apart, that the analysis produces as
// artefacts; a lone one is no evidence of a tempo.
constexpr std::array<int32_t, 5> kArtefactPeriodsMs = {325, 348, 372, 395, 418};

struct Candidate {
  int32_t periodMs = 0;
  int32_t partnerMs = 0;
  float partnerRatio = 0.0f;
  bool hasPartner = false;
};

int32_t Partition(std::span<PeakRecord> peaks, int32_t lo, int32_t hi) {
  auto count = [&](int32_t position) { return peaks[static_cast<size_t>(position)].count; };
  auto swapAt = [&](int32_t a, int32_t b) { std::swap(peaks[static_cast<size_t>(a)], peaks[static_cast<size_t>(b)]); };
  const int32_t mid = (lo + hi) / 2;
  int32_t pivotPosition = mid;
  if (count(lo) < count(hi)) {
    pivotPosition = mid;
  } else if (count(mid) >= count(lo)) {
    pivotPosition = lo;
  } else if (count(mid) <= count(hi)) {
    pivotPosition = hi;
  }
  swapAt(lo, pivotPosition);
  const int32_t pivot = count(lo);
  int32_t i = lo - 1;
  int32_t j = hi + 1;
  for (;;) {
    do {
      --j;
    } while (count(j) < pivot);
    do {
      ++i;
    } while (count(i) > pivot);
    if (i >= j) {
      return j;
    }
    swapAt(i, j);
  }
}

void Sort(std::span<PeakRecord> peaks, int32_t lo, int32_t hi) {
  while (hi - lo > 0) {
    const int32_t split = Partition(peaks, lo, hi);
    Sort(peaks, lo, split);
    lo = split + 1;
  }
}

bool IsArtefactPeriod(int32_t periodMs) {
  return std::find(kArtefactPeriodsMs.begin(), kArtefactPeriodsMs.end(), periodMs) != kArtefactPeriodsMs.end();
}

}  // namespace

void SortPeaksByCount(std::span<PeakRecord> peaks) {
  if (peaks.size() < 2) {
    return;
  }
  Sort(peaks, 0, static_cast<int32_t>(peaks.size()) - 1);
}

TempoPeriods EstimateTempo(const HistogramSet& histograms, int32_t histogramSize) {
  std::array<PeakRecord, kLongestPeriodMs + 1> peaks{};

  // The best count carries over from class to class, loudest class first, so a
  // quieter class only adds a peak when it beats everything louder.
  int32_t bestCount = 0;
  int32_t bestPeriodMs = 0;
  const int32_t lastPeriodMs = std::min(kLongestPeriodMs, histogramSize);
  for (int32_t levelClass = HistogramSet::kClassCount - 1; levelClass >= 0; --levelClass) {
    for (int32_t periodMs = kShortestPeriodMs; periodMs <= lastPeriodMs; ++periodMs) {
      const int32_t count = histograms.Count(levelClass, periodMs);
      if (count > kMinimumPeakCount && count >= bestCount) {
        bestCount = count;
        bestPeriodMs = periodMs;
      }
    }
    peaks[static_cast<size_t>(bestPeriodMs)] = {bestPeriodMs, bestCount};
  }

  SortPeaksByCount(peaks);

  // Positions 1 to 50; position 0 stays unused.
  std::array<Candidate, kMaxCandidates + 1> candidates{};
  int32_t candidateCount = 0;
  for (const PeakRecord& peak : peaks) {
    if (peak.count != 0 && candidateCount < kMaxCandidates) {
      candidates[static_cast<size_t>(++candidateCount)].periodMs = peak.periodMs;
    }
  }

  // A beat and a peak at about twice its period confirm each other; the longer one
  // becomes the primary period.
  TempoPeriods result;
  bool pairFound = false;
  for (int32_t i = 1; i <= candidateCount; ++i) {
    Candidate& candidate = candidates[static_cast<size_t>(i)];
    for (int32_t j = i + 1; j <= candidateCount; ++j) {
      const int32_t otherMs = candidates[static_cast<size_t>(j)].periodMs;
      if (!(kLowestPartnerFactor * candidate.periodMs < otherMs &&
            otherMs < kHighestPartnerFactor * candidate.periodMs)) {
        continue;
      }
      const float ratio = static_cast<float>(static_cast<double>(otherMs) / candidate.periodMs * 100.0);
      pairFound = true;
      if (!candidate.hasPartner ||
          std::fabs(kDoublePeriodPercent - ratio) < std::fabs(kDoublePeriodPercent - candidate.partnerRatio)) {
        candidate.partnerMs = otherMs;
        candidate.partnerRatio = ratio;
        candidate.hasPartner = true;
      }
      result.primaryMs = candidate.partnerMs;
      result.alternativeMs = candidate.periodMs;
    }
  }
  if (pairFound) {
    return result;
  }

  for (int32_t i = 1; i <= candidateCount; ++i) {
    const int32_t periodMs = candidates[static_cast<size_t>(i)].periodMs;
    if (!IsArtefactPeriod(periodMs)) {
      return {periodMs, 0};
    }
  }
  return {};
}

}  // namespace tempo
