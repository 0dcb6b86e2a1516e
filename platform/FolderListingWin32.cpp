// Folder listings over FindFirstFileA / FindNextFileA, identities over
// GetFileInformationByHandle.
#include "platform/FolderListing.h"

#include "platform/ScopedWin.h"

#include <windows.h>

namespace platform {

namespace {

// The system's message for an error code, without its closing line break and full stop.
std::string SystemErrorText(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      text, sizeof text, nullptr);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason.empty() ? "system error " + std::to_string(error) : reason;
}

}  // namespace

struct FolderListing::Handle {
  UniqueFind find;
  WIN32_FIND_DATAA data{};
};

FolderListing::FolderListing(const std::string& folder, const std::string& pattern)
    : handle_(std::make_unique<Handle>()) {
  const std::string query = folder + (pattern.empty() ? std::string("*") : pattern);
  handle_->find.Reset(FindFirstFileA(query.c_str(), &handle_->data));
  hasEntry_ = handle_->find.IsValid();
  if (!hasEntry_) {
    const DWORD error = GetLastError();
    // A drive's root folder may hold no entry at all, not even "." and "..".
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
      failure_ = SystemErrorText(error);
    }
  }
}

FolderListing::~FolderListing() = default;

bool FolderListing::IsOpen() const {
  return handle_->find.IsValid();
}

void FolderListing::Next() {
  hasEntry_ = hasEntry_ && FindNextFileA(handle_->find.Get(), &handle_->data) != FALSE;
}

const char* FolderListing::EntryName() const {
  return handle_->data.cFileName;
}

bool FolderListing::EntryIsFolder() const {
  return (handle_->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<FolderIdentity> ReadFolderIdentity(const std::string& folder) {
  // Backup semantics is what lets CreateFile open a folder; no access right is
  // asked for, so a folder the user may not read can still be identified.
  UniqueFile handle(CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle.Get(), &info)) {
    return std::nullopt;
  }
  return FolderIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool IsExistingFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
