// Reading a byte range of a file with 64-bit offsets, through the C runtime so that
// file names take the same 8-bit path as the rest of the program.
#pragma once

#include <cstdint>
#include <cstdio>

namespace audioengine {

enum class FileOpenResult { Ok, CannotOpen, NotRegular };

class FileRange {
 public:
  FileRange() = default;
  ~FileRange();
  FileRange(const FileRange&) = delete;
  FileRange& operator=(const FileRange&) = delete;

  // Opens `path` for reading without ever waiting on a pipe or device; the range starts
  // at `offset` and holds `lengthBytes` bytes (0 = to the end of the file, and never
  // past it). NotRegular for a FIFO, device, socket or folder; CannotOpen when the file
  // cannot be opened or the offset lies beyond its end.
  FileOpenResult Open(const char* path, uint64_t offset, uint64_t lengthBytes);

  uint64_t SizeBytes() const { return sizeBytes_; }
  uint64_t PositionBytes() const { return position_; }
  // Reads up to `count` bytes at the current position; returns the bytes read.
  size_t Read(void* buffer, size_t count);
  bool Seek(uint64_t position);
  // Drops the first `bytes` bytes from the range: position 0 then lies there.
  bool DropFront(uint64_t bytes);

 private:
  std::FILE* file_ = nullptr;
  uint64_t start_ = 0;
  uint64_t sizeBytes_ = 0;
  uint64_t position_ = 0;
};

}  // namespace audioengine
