// Interval histograms of the 30 onset level classes that the track analysis fills and
// the tempo estimation reads: bins 0 to H of 32-bit counts per class, all classes in
// one zero-filled allocation.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace tempo {

class HistogramSet {
 public:
  static constexpr int32_t kClassCount = 30;
  // Class c takes onsets whose chunk level lies above c x 1000 (16-bit sample units).
  static constexpr int32_t kThresholdStep = 1000;

  static constexpr int32_t ThresholdOf(int32_t levelClass) { return levelClass * kThresholdStep; }

  HistogramSet() = default;
  // Bins 0 to histogramSize for every class, all zero. When histogramSize is not
  // positive or memory is short the set holds no bins (IsAllocated() is false).
  explicit HistogramSet(int32_t histogramSize);

  HistogramSet(HistogramSet&&) noexcept = default;
  HistogramSet& operator=(HistogramSet&&) noexcept = default;
  HistogramSet(const HistogramSet&) = delete;
  HistogramSet& operator=(const HistogramSet&) = delete;

  bool IsAllocated() const { return counts_ != nullptr; }
  // H: the largest bin; intervals of H ms or more are never counted.
  int32_t HistogramSize() const { return histogramSize_; }

  // Bins 0 to H of one class (empty when the set holds no bins).
  std::span<int32_t> Bins(int32_t levelClass);
  std::span<const int32_t> Bins(int32_t levelClass) const;

  // A bin's count; bins outside 0 to H count as 0.
  int32_t Count(int32_t levelClass, int32_t bin) const;

  // Time of the class's last accepted onset, 0 at the start of the track.
  float& LastOnsetSeconds(int32_t levelClass) { return lastOnsetSeconds_[levelClass]; }
  float LastOnsetSeconds(int32_t levelClass) const { return lastOnsetSeconds_[levelClass]; }

 private:
  struct FreeDeleter {
    void operator()(int32_t* counts) const { std::free(counts); }
  };

  std::unique_ptr<int32_t, FreeDeleter> counts_;
  int32_t histogramSize_ = 0;
  std::array<float, kClassCount> lastOnsetSeconds_{};
};

}  // namespace tempo
