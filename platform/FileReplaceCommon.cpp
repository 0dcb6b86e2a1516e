// The parts of a file replace that are the same on every system: the copy's name, and
// the list of copies in progress that a signal or console handler removes.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/FileReplace.h"
#include "platform/FileReplaceSlots.h"

namespace platform {

namespace {

constexpr const char* kCopyMark = ".temposcout-";

}  // namespace

std::string CopyNamePrefix(const std::string& name, size_t maxNameBytes) {
  const size_t overhead = 1 + std::strlen(kCopyMark) + kCopySuffixLength;
  size_t keep = maxNameBytes > overhead ? std::min(name.size(), maxNameBytes - overhead) : 0;
  // Never half a character: back off over UTF-8 continuation bytes.
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  // Appended piece by piece: GCC 12 at -O3 takes the string sums for overlapping copies.
  std::string prefix(1, '.');
  prefix.append(name, 0, keep);
  prefix.append(kCopyMark);
  return prefix;
}

bool IsCopyName(const std::string& name) {
  const size_t mark = std::strlen(kCopyMark);
  if (name.size() < 1 + mark + kCopySuffixLength || name[0] != '.') return false;
  return name.compare(name.size() - kCopySuffixLength - mark, mark, kCopyMark) == 0;
}

namespace {

constexpr int kSlots = 8;
constexpr size_t kSlotBytes = 4096;
// 0: free, 1: being filled or emptied, 2: holds the name of a copy in progress.
std::atomic<int> slotState[kSlots];
char slotPath[kSlots][kSlotBytes];
// Set once the process is ending: no copy may start after its copies were removed.
std::atomic<bool> ending{false};

}  // namespace

int RegisterCopy(const std::string& path) {
  if (path.size() >= kSlotBytes) return ending.load() ? kCopiesEnded : -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    int expected = 0;
    if (slotState[slot].compare_exchange_strong(expected, 1)) {
      std::memcpy(slotPath[slot], path.c_str(), path.size() + 1);
      // Checked with the slot held: a handler that set the flag before waits for the slot
      // to settle, one that sets it after finds the name.
      if (ending.load()) {
        slotState[slot].store(0);
        return kCopiesEnded;
      }
      slotState[slot].store(2);
      return slot;
    }
  }
  return ending.load() ? kCopiesEnded : -1;
}

void ForgetCopy(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  int expected = 2;
  // A handler that holds the slot is removing the copy; the process ends with it.
  if (slotState[slot].compare_exchange_strong(expected, 1)) slotState[slot].store(0);
}

void RemoveCopiesInProgress() {
  ending.store(true);
  for (int slot = 0; slot < kSlots; ++slot) {
    // Another thread filling the slot is done within a few instructions; the bound keeps a
    // handler that interrupted the filling on its own thread from waiting for ever.
    for (int spin = 0; spin < 1000000 && slotState[slot].load() == 1; ++spin) {
    }
    int expected = 2;
    if (slotState[slot].compare_exchange_strong(expected, 1)) {
      RemoveFileNow(slotPath[slot]);
      slotState[slot].store(0);
    }
  }
}

}  // namespace platform
