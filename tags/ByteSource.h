// Read-only access to a file's bytes at any offset, held in memory or read from disk, for
// the tag walk and the write proof, which read files themselves rather than through TagLib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tags {

using Bytes = std::vector<uint8_t>;

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t SizeBytes() const = 0;
  // Copies `lengthBytes` from `offset` into `out`; false when they are not all there.
  virtual bool Read(uint64_t offset, uint8_t* out, size_t lengthBytes) const = 0;

  // The bytes at `offset`, or fewer when the source ends (or cannot be read) before.
  Bytes ReadUpTo(uint64_t offset, size_t lengthBytes) const;
};

// Bytes someone else owns and keeps alive while the view is used.
class MemoryBytes final : public ByteSource {
 public:
  MemoryBytes(const uint8_t* data, size_t sizeBytes) : data_(data), sizeBytes_(sizeBytes) {}
  explicit MemoryBytes(const Bytes& bytes) : MemoryBytes(bytes.data(), bytes.size()) {}
  uint64_t SizeBytes() const override { return sizeBytes_; }
  bool Read(uint64_t offset, uint8_t* out, size_t lengthBytes) const override;

 private:
  const uint8_t* data_;
  size_t sizeBytes_;
};

// A file opened read-only by its 8-bit name; its size is taken when it is opened.
class FileBytes final : public ByteSource {
 public:
  explicit FileBytes(const std::string& path);
  bool IsOpen() const { return open_; }
  uint64_t SizeBytes() const override { return sizeBytes_; }
  bool Read(uint64_t offset, uint8_t* out, size_t lengthBytes) const override;

 private:
  mutable std::ifstream stream_;
  uint64_t sizeBytes_ = 0;
  bool open_ = false;
};

// Whether `lengthBytes` at `offsetA` in `a` equal those at `offsetB` in `b`; false when
// either cannot be read.
bool SameBytes(const ByteSource& a, uint64_t offsetA, const ByteSource& b, uint64_t offsetB, uint64_t lengthBytes);

}  // namespace tags
