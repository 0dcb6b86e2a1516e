// File replacement over GetTempFileNameW / CopyFileA / FlushFileBuffers / MoveFileExA.
#include "platform/FileReplace.h"

#include <cstdio>
#include <system_error>

#include "platform/ScopedWin.h"

namespace platform {

namespace {

std::string LastError() {
  return std::system_category().message(static_cast<int>(GetLastError()));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// A name for a new file in `folder`, made and reserved there as an empty file; "" when
// none could be. GetTempFileNameA writes into a buffer of MAX_PATH characters, which a
// long path does not fit, so the name is chosen here and reserved with CREATE_NEW.
std::string ReserveTemporaryName(const std::string& folder, std::string& error) {
  const std::string prefix = folder + "\\bpm";
  for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%04X.tmp", static_cast<unsigned>((GetTickCount() + attempt) & 0xFFFFu));
    const std::string name = prefix + suffix;
    const UniqueFile file(
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return name;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      error = LastError();
      return {};
    }
  }
  error = "no free name for a copy in the folder";
  return {};
}

}  // namespace

std::string ReadOnlyReason(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if (attributes & FILE_ATTRIBUTE_READONLY) return "read-only file";
  return {};
}

std::string LinkTarget(const std::string& path) {
  return path;
}

ReplacementCopy::~ReplacementCopy() {
  if (!path_.empty()) std::remove(path_.c_str());
}

std::string ReplacementCopy::Make(const std::string& original) {
  std::string error;
  path_ = ReserveTemporaryName(FolderOf(original), error);
  if (path_.empty()) return error;
  // Attributes travel with the copy.
  if (!CopyFileA(original.c_str(), path_.c_str(), FALSE)) return LastError();
  return {};
}

std::string ReplacementCopy::Flush() const {
  const UniqueFile file(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return LastError();
  return FlushFileBuffers(file.Get()) ? std::string() : LastError();
}

std::string ReplacementCopy::Replace(const std::string& original) {
  if (!MoveFileExA(path_.c_str(), original.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  path_.clear();
  return {};
}

}  // namespace platform
