// Allocation and bounds-checked reads of the interval histograms.
#include "tempo/HistogramSet.h"

namespace tempo {

namespace {

size_t BinsPerClass(int32_t histogramSize) {
  return static_cast<size_t>(histogramSize) + 1;
}

}  // namespace

HistogramSet::HistogramSet(int32_t histogramSize) {
  if (histogramSize <= 0) {
    return;
  }
  // calloc hands back zeroed pages without touching them, so a long track's set
  // (tens of megabytes) costs nothing until the analysis writes into it.
  auto* counts = static_cast<int32_t*>(std::calloc(BinsPerClass(histogramSize) * kClassCount, sizeof(int32_t)));
  if (counts == nullptr) {
    return;
  }
  counts_.reset(counts);
  histogramSize_ = histogramSize;
}

std::span<int32_t> HistogramSet::Bins(int32_t levelClass) {
  if (!IsAllocated() || levelClass < 0 || levelClass >= kClassCount) {
    return {};
  }
  const size_t binCount = BinsPerClass(histogramSize_);
  return {counts_.get() + binCount * static_cast<size_t>(levelClass), binCount};
}

std::span<const int32_t> HistogramSet::Bins(int32_t levelClass) const {
  return const_cast<HistogramSet*>(this)->Bins(levelClass);
}

int32_t HistogramSet::Count(int32_t levelClass, int32_t bin) const {
  const std::span<const int32_t> bins = Bins(levelClass);
  if (bin < 0 || static_cast<size_t>(bin) >= bins.size()) {
    return 0;
  }
  return bins[static_cast<size_t>(bin)];
}

}  // namespace tempo
