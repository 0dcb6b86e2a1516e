// File replacement over CopyFileA / FlushFileBuffers / MoveFileExA, with the original's
// security descriptor.
#include "platform/FileReplace.h"

#include <aclapi.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "platform/FileReplaceSlots.h"
#include "platform/ScopedWin.h"

namespace platform {

namespace {

std::string LastError() {
  return ErrorText(static_cast<int>(GetLastError()));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// A name for a new file in `folder` after `original`'s, made and reserved there as an
// empty file; "" when none could be.
std::string ReserveCopyName(const std::string& folder, const std::string& original, std::string& error) {
  const size_t slash = original.find_last_of("/\\");
  const std::string base = slash == std::string::npos ? original : original.substr(slash + 1);
  const std::string prefix = folder + "\\" + CopyNamePrefix(base, 255);
  for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06X",
                  static_cast<unsigned>((GetTickCount() * 2654435761u + GetCurrentProcessId() + attempt) & 0xFFFFFFu));
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

// The original's access rules (its DACL, protected from inheritance where it was) set on
// the copy, which a rename carries to the original's place; "" or why not.
std::string CopySecurity(const std::string& original, const std::string& copy) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD status = GetNamedSecurityInfoA(original.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                       &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return ErrorText(static_cast<int>(status));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION |
      ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
  status =
      SetNamedSecurityInfoA(const_cast<char*>(copy.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return status == ERROR_SUCCESS ? std::string() : ErrorText(static_cast<int>(status));
}

}  // namespace

std::string ContainingFolder(const std::string& path) {
  return FolderOf(path);
}

void RemoveFileNow(const char* path) {
  DeleteFileA(path);
}

std::string ErrorText(int errorNumber) {
  if (errorNumber == ERROR_DISK_FULL || errorNumber == ERROR_HANDLE_DISK_FULL ||
      errorNumber == ERROR_NOT_ENOUGH_QUOTA) {
    return "no space left on the device";
  }
  return std::system_category().message(errorNumber);
}

bool FolderIsFull(const std::string& path, uint64_t bytes) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(FolderOf(path).c_str(), &available, nullptr, nullptr)) return false;
  return available.QuadPart < bytes;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  const UniqueFile file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  FileIdentity identity;
  identity.sizeBytes = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity.modifiedNs = static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                             info.ftLastWriteTime.dwLowDateTime) *
                        100;
  identity.device = info.dwVolumeSerialNumber;
  identity.fileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.linkCount = info.nNumberOfLinks;
  identity.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return identity;
}

std::vector<std::string> LeftoverCopies(const std::string& folder) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if (IsCopyName(entry.cFileName)) found.push_back(folder + "\\" + entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(found.begin(), found.end());
  return found;
}

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
  Forget();
}

void ReplacementCopy::Forget() {
  ForgetCopy(slot_);
  slot_ = -1;
}

std::string ReplacementCopy::Make(const std::string& original) {
  std::string error;
  path_ = ReserveCopyName(FolderOf(original), original, error);
  if (path_.empty()) return error;
  slot_ = RegisterCopy(path_);
  if (slot_ == kCopiesEnded) {
    std::remove(path_.c_str());
    path_.clear();
    return "the program is ending";
  }
  // Attributes travel with the copy; the access rules are set after.
  if (!CopyFileA(original.c_str(), path_.c_str(), FALSE)) return LastError();
  if (std::string reason = CopySecurity(original, path_); !reason.empty()) {
    return "cannot keep the file's access rules: " + reason;
  }
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
  Forget();
  return {};
}

}  // namespace platform
