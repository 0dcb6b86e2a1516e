// Interval histograms of the 30 onset level classes that the track analysis fills and
// the tempo estimation reads: bins 0 to H of 32-bit counts per class, kept in pages that
// exist only once a count in them is written, so a long track costs what it fills.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tempo {

class HistogramSet {
 public:
  static constexpr int32_t kClassCount = 30;
  // Class c takes onsets whose chunk level lies above c x 1000 (16-bit sample units).
  static constexpr int32_t kThresholdStep = 1000;
  // Bins per page (16 KB of counts), and pages per block of the page table.
  static constexpr int32_t kPageShift = 12;
  static constexpr int32_t kBinsPerPage = 1 << kPageShift;
  static constexpr int32_t kBlockShift = 10;
  static constexpr int32_t kPagesPerBlock = 1 << kBlockShift;

  static constexpr int32_t ThresholdOf(int32_t levelClass) { return levelClass * kThresholdStep; }

  HistogramSet() = default;
  // Bins 0 to histogramSize for every class, all zero. When histogramSize is not
  // positive or memory is short the set holds no bins (IsAllocated() is false).
  explicit HistogramSet(int32_t histogramSize);

  HistogramSet(HistogramSet&&) noexcept = default;
  HistogramSet& operator=(HistogramSet&&) noexcept = default;
  HistogramSet(const HistogramSet&) = delete;
  HistogramSet& operator=(const HistogramSet&) = delete;

  // False when the set was made without bins, or when memory ran short for a page that
  // a count had to be written into: the counts are then incomplete.
  bool IsAllocated() const { return blocks_ != nullptr && !pageFailed_; }
  // H: the largest bin; intervals of H ms or more are never counted.
  int32_t HistogramSize() const { return histogramSize_; }

  // A bin's count; bins outside 0 to H, and bins of a page never written, count as 0.
  int32_t Count(int32_t levelClass, int32_t bin) const;

  // Adds one to a bin (0 to H) and returns its new count; 0 when the bin does not exist
  // or its page could not be allocated.
  int32_t Increment(int32_t levelClass, int32_t bin);

  // Sets a bin (0 to H) to a count. Returns false when the bin does not exist or its
  // page could not be allocated; a count of 0 never allocates a page.
  bool SetCount(int32_t levelClass, int32_t bin, int32_t count);

  // Moves the counts of the bins from bin - radius to bin + radius that exist (0 to H)
  // into bin, leaving them at 0, and returns bin's new count. Pages that hold nothing
  // stay unallocated.
  int32_t GatherNeighbours(int32_t levelClass, int32_t bin, int32_t radius);

  // Bytes held for the counts: the page table and the pages written so far.
  size_t AllocatedBytes() const { return allocatedBytes_; }

  // Time of the class's last accepted onset, 0 at the start of the track.
  float& LastOnsetSeconds(int32_t levelClass) { return lastOnsetSeconds_[levelClass]; }
  float LastOnsetSeconds(int32_t levelClass) const { return lastOnsetSeconds_[levelClass]; }

 private:
  using Page = std::unique_ptr<int32_t[]>;
  struct Block {
    std::array<Page, kPagesPerBlock> pages;
  };

  bool HasBin(int32_t levelClass, int32_t bin) const;
  // The page holding a bin, or null when it was never written.
  const int32_t* FindPage(int32_t levelClass, int32_t bin) const;
  int32_t* FindPage(int32_t levelClass, int32_t bin);
  // The page holding a bin, allocated (zero-filled) when it does not exist yet; null
  // when memory is short, which marks the set as incomplete.
  int32_t* PageFor(int32_t levelClass, int32_t bin);

  // The page table: blocksPerClass_ blocks per class, class after class.
  std::unique_ptr<std::unique_ptr<Block>[]> blocks_;
  int32_t blocksPerClass_ = 0;
  int32_t histogramSize_ = 0;
  bool pageFailed_ = false;
  size_t allocatedBytes_ = 0;
  std::array<float, kClassCount> lastOnsetSeconds_{};
};

}  // namespace tempo
