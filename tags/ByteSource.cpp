// Reading ranges of bytes from memory or from a file, and comparing ranges of two sources
// a block at a time, so files of any size are compared in little memory.
#include "tags/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace tags {

Bytes ByteSource::ReadUpTo(uint64_t offset, size_t lengthBytes) const {
  const uint64_t size = SizeBytes();
  if (offset >= size) return {};
  Bytes bytes(static_cast<size_t>(std::min<uint64_t>(lengthBytes, size - offset)));
  if (!Read(offset, bytes.data(), bytes.size())) return {};
  return bytes;
}

bool MemoryBytes::Read(uint64_t offset, uint8_t* out, size_t lengthBytes) const {
  if (offset > sizeBytes_ || lengthBytes > sizeBytes_ - offset) return false;
  if (lengthBytes > 0) std::memcpy(out, data_ + offset, lengthBytes);
  return true;
}

FileBytes::FileBytes(const std::string& path) : stream_(path, std::ios::binary) {
  if (!stream_) return;
  stream_.seekg(0, std::ios::end);
  const std::streamoff end = stream_.tellg();
  if (!stream_ || end < 0) return;
  sizeBytes_ = static_cast<uint64_t>(end);
  open_ = true;
}

bool FileBytes::Read(uint64_t offset, uint8_t* out, size_t lengthBytes) const {
  if (!open_ || offset > sizeBytes_ || lengthBytes > sizeBytes_ - offset) return false;
  if (lengthBytes == 0) return true;
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset));
  stream_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(lengthBytes));
  return static_cast<size_t>(stream_.gcount()) == lengthBytes;
}

bool SameBytes(const ByteSource& a, uint64_t offsetA, const ByteSource& b, uint64_t offsetB, uint64_t lengthBytes) {
  constexpr size_t kBlockBytes = 1 << 16;
  Bytes blockA(static_cast<size_t>(std::min<uint64_t>(lengthBytes, kBlockBytes)));
  Bytes blockB(blockA.size());
  for (uint64_t done = 0; done < lengthBytes;) {
    const size_t block = static_cast<size_t>(std::min<uint64_t>(lengthBytes - done, kBlockBytes));
    if (!a.Read(offsetA + done, blockA.data(), block) || !b.Read(offsetB + done, blockB.data(), block)) return false;
    if (std::memcmp(blockA.data(), blockB.data(), block) != 0) return false;
    done += block;
  }
  return true;
}

}  // namespace tags
