// Byte-range file reading with 64-bit offsets on both targets.
#include "audioengine/FileRange.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace audioengine {

namespace {

bool SeekFile(std::FILE* file, uint64_t position) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

#ifdef _WIN32
// Opens a disk file without waiting on anything: pipes, consoles, NUL and serial ports
// are other file types and are refused before any read.
std::FILE* OpenRegularFile(const char* path, uint64_t& sizeBytes, FileOpenResult& result) {
  result = FileOpenResult::CannotOpen;
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    result = FileOpenResult::NotRegular;
    CloseHandle(handle);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) {
    _close(fd);
    return nullptr;
  }
  sizeBytes = static_cast<uint64_t>(size.QuadPart);
  result = FileOpenResult::Ok;
  return file;
}
#else
// Opens without blocking (a FIFO would otherwise wait for a writer) and takes only
// regular files: FIFOs, devices, sockets and folders are refused before any read.
std::FILE* OpenRegularFile(const char* path, uint64_t& sizeBytes, FileOpenResult& result) {
  result = FileOpenResult::CannotOpen;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    result = FileOpenResult::NotRegular;
    close(fd);
    return nullptr;
  }
  // Reads of a regular file never wait on a writer; the flag only mattered for the open.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
    return nullptr;
  }
  sizeBytes = static_cast<uint64_t>(info.st_size);
  result = FileOpenResult::Ok;
  return file;
}
#endif

}  // namespace

FileRange::~FileRange() {
  if (file_ != nullptr) std::fclose(file_);
}

FileOpenResult FileRange::Open(const char* path, uint64_t offset, uint64_t lengthBytes) {
  if (path == nullptr || *path == '\0' || file_ != nullptr) return FileOpenResult::CannotOpen;
  uint64_t fileBytes = 0;
  FileOpenResult result = FileOpenResult::CannotOpen;
  file_ = OpenRegularFile(path, fileBytes, result);
  if (file_ == nullptr) return result;
  if (offset > fileBytes) {
    std::fclose(file_);
    file_ = nullptr;
    return FileOpenResult::CannotOpen;
  }
  start_ = offset;
  sizeBytes_ = fileBytes - offset;
  if (lengthBytes != 0 && lengthBytes < sizeBytes_) sizeBytes_ = lengthBytes;
  position_ = 0;
  return SeekFile(file_, start_) ? FileOpenResult::Ok : FileOpenResult::CannotOpen;
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

bool FileRange::DropFront(uint64_t bytes) {
  if (file_ == nullptr || bytes > sizeBytes_) return false;
  start_ += bytes;
  sizeBytes_ -= bytes;
  return Seek(0);
}

}  // namespace audioengine
