// Byte-range file reading with 64-bit offsets on both targets.
#include "audioengine/FileRange.h"

#include <sys/stat.h>

namespace audioengine {

namespace {

bool SeekFile(std::FILE* file, uint64_t position) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool RegularFileSize(std::FILE* file, uint64_t& sizeBytes) {
#ifdef _WIN32
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0) return false;
  if ((info.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return false;
  if (!S_ISREG(info.st_mode)) return false;
#endif
  if (info.st_size < 0) return false;
  sizeBytes = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace

FileRange::~FileRange() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FileRange::Open(const char* path, uint64_t offset, uint64_t lengthBytes) {
  if (path == nullptr || *path == '\0' || file_ != nullptr) return false;
  file_ = std::fopen(path, "rb");
  if (file_ == nullptr) return false;
  uint64_t fileBytes = 0;
  // A directory opens on some systems and then fails every read.
  if (!RegularFileSize(file_, fileBytes) || offset > fileBytes) {
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  start_ = offset;
  sizeBytes_ = fileBytes - offset;
  if (lengthBytes != 0 && lengthBytes < sizeBytes_) sizeBytes_ = lengthBytes;
  position_ = 0;
  return SeekFile(file_, start_);
}

size_t FileRange::Read(void* buffer, size_t count) {
  if (file_ == nullptr || position_ >= sizeBytes_) return 0;
  if (count > sizeBytes_ - position_) count = static_cast<size_t>(sizeBytes_ - position_);
  const size_t got = std::fread(buffer, 1, count, file_);
  position_ += got;
  return got;
}

bool FileRange::Seek(uint64_t position) {
  if (file_ == nullptr || position > sizeBytes_) return false;
  if (!SeekFile(file_, start_ + position)) return false;
  position_ = position;
  return true;
}

}  // namespace audioengine
