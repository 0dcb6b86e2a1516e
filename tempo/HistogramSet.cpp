// The paged interval histograms: a page table per class, pages allocated on the first
// count written into them, and bounds-checked reads.
#include "tempo/HistogramSet.h"

#include <algorithm>
#include <new>

namespace tempo {

namespace {

constexpr int32_t kBinInPage = HistogramSet::kBinsPerPage - 1;
constexpr int32_t kPageInBlock = HistogramSet::kPagesPerBlock - 1;
constexpr int32_t kBlockShiftInBins = HistogramSet::kPageShift + HistogramSet::kBlockShift;

}  // namespace

HistogramSet::HistogramSet(int32_t histogramSize) {
  if (histogramSize <= 0) {
    return;
  }
  // Bins 0 to H: (H + 1) bins, worked in 64 bits so H = INT32_MAX does not overflow.
  const int64_t binCount = static_cast<int64_t>(histogramSize) + 1;
  const auto blocksPerClass =
      static_cast<int32_t>((binCount + (int64_t{1} << kBlockShiftInBins) - 1) >> kBlockShiftInBins);
  const size_t blockCount = static_cast<size_t>(blocksPerClass) * kClassCount;
  blocks_.reset(new (std::nothrow) std::unique_ptr<Block>[blockCount]());
  if (blocks_ == nullptr) {
    return;
  }
  blocksPerClass_ = blocksPerClass;
  histogramSize_ = histogramSize;
  allocatedBytes_ = blockCount * sizeof(std::unique_ptr<Block>);
}

bool HistogramSet::HasBin(int32_t levelClass, int32_t bin) const {
  return blocks_ != nullptr && levelClass >= 0 && levelClass < kClassCount && bin >= 0 && bin <= histogramSize_;
}

const int32_t* HistogramSet::FindPage(int32_t levelClass, int32_t bin) const {
  const size_t blockIndex = static_cast<size_t>(levelClass) * static_cast<size_t>(blocksPerClass_) +
                            static_cast<size_t>(bin >> kBlockShiftInBins);
  const Block* block = blocks_[blockIndex].get();
  if (block == nullptr) {
    return nullptr;
  }
  return block->pages[static_cast<size_t>((bin >> kPageShift) & kPageInBlock)].get();
}

int32_t* HistogramSet::FindPage(int32_t levelClass, int32_t bin) {
  return const_cast<int32_t*>(static_cast<const HistogramSet*>(this)->FindPage(levelClass, bin));
}

int32_t* HistogramSet::PageFor(int32_t levelClass, int32_t bin) {
  const size_t blockIndex = static_cast<size_t>(levelClass) * static_cast<size_t>(blocksPerClass_) +
                            static_cast<size_t>(bin >> kBlockShiftInBins);
  std::unique_ptr<Block>& block = blocks_[blockIndex];
  if (block == nullptr) {
    block.reset(new (std::nothrow) Block());
    if (block == nullptr) {
      pageFailed_ = true;
      return nullptr;
    }
    allocatedBytes_ += sizeof(Block);
  }
  Page& page = block->pages[static_cast<size_t>((bin >> kPageShift) & kPageInBlock)];
  if (page == nullptr) {
    page.reset(new (std::nothrow) int32_t[kBinsPerPage]());
    if (page == nullptr) {
      pageFailed_ = true;
      return nullptr;
    }
    allocatedBytes_ += sizeof(int32_t) * kBinsPerPage;
  }
  return page.get();
}

int32_t HistogramSet::Count(int32_t levelClass, int32_t bin) const {
  if (!HasBin(levelClass, bin)) {
    return 0;
  }
  const int32_t* page = FindPage(levelClass, bin);
  return page == nullptr ? 0 : page[bin & kBinInPage];
}

int32_t HistogramSet::Increment(int32_t levelClass, int32_t bin) {
  if (!HasBin(levelClass, bin)) {
    return 0;
  }
  int32_t* page = PageFor(levelClass, bin);
  return page == nullptr ? 0 : ++page[bin & kBinInPage];
}

bool HistogramSet::SetCount(int32_t levelClass, int32_t bin, int32_t count) {
  if (!HasBin(levelClass, bin)) {
    return false;
  }
  int32_t* page = count == 0 ? FindPage(levelClass, bin) : PageFor(levelClass, bin);
  if (page != nullptr) {
    page[bin & kBinInPage] = count;
  }
  return page != nullptr || count == 0;
}

int32_t HistogramSet::GatherNeighbours(int32_t levelClass, int32_t bin, int32_t radius) {
  if (!HasBin(levelClass, bin)) {
    return 0;
  }
  const int32_t first = std::max(0, bin - radius);
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(histogramSize_, int64_t{bin} + radius));
  int32_t gathered = 0;
  // Page by page, skipping pages that were never written: their bins hold 0.
  for (int32_t pageStart = first; pageStart <= last;) {
    const int32_t pageEnd = std::min(last, pageStart | kBinInPage);
    if (int32_t* page = FindPage(levelClass, pageStart); page != nullptr) {
      // Worked as indices within the page, so that the last bin may be INT32_MAX.
      const int32_t own = (bin >> kPageShift) == (pageStart >> kPageShift) ? bin & kBinInPage : -1;
      for (int32_t index = pageStart & kBinInPage; index <= (pageEnd & kBinInPage); ++index) {
        if (index == own) continue;
        gathered += page[index];
        page[index] = 0;
      }
    }
    if (pageEnd == last) break;
    pageStart = pageEnd + 1;
  }
  int32_t* home = gathered == 0 ? FindPage(levelClass, bin) : PageFor(levelClass, bin);
  if (home == nullptr) {
    return 0;
  }
  return home[bin & kBinInPage] += gathered;
}

}  // namespace tempo
