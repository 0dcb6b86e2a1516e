// File replacement over open / mkostemp / fsync / rename, with extended attributes.
#include "platform/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/FileReplaceSlots.h"
#include "platform/UniqueResource.h"

namespace platform {

namespace {

struct DescriptorTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle fd) { close(fd); }
};
using UniqueDescriptor = UniqueResource<DescriptorTraits>;

std::string LastError() {
  return ErrorText(errno);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

bool MayWrite(const struct stat& status, const std::string& path) {
  return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(path.c_str(), W_OK) == 0;
}

std::string CopyBytes(int source, int target) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = read(source, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) return {};
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(target, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      done += put;
    }
  }
}

// Every extended attribute of `source` set on `target` (POSIX ACLs among them); "" or
// why one could not be kept.
std::string CopyAttributes(int source, int target) {
  const ssize_t listBytes = flistxattr(source, nullptr, 0);
  if (listBytes < 0) return errno == ENOTSUP ? std::string() : LastError();
  std::vector<char> names(static_cast<size_t>(listBytes) + 1);
  const ssize_t got = flistxattr(source, names.data(), names.size());
  if (got < 0) return LastError();
  for (size_t at = 0; at < static_cast<size_t>(got);) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    const ssize_t valueBytes = fgetxattr(source, name, nullptr, 0);
    if (valueBytes < 0) return std::string("cannot read the extended attribute ") + name + ": " + LastError();
    std::vector<char> value(static_cast<size_t>(valueBytes) + 1);
    const ssize_t read = fgetxattr(source, name, value.data(), value.size());
    if (read < 0 || fsetxattr(target, name, value.data(), static_cast<size_t>(read), 0) != 0) {
      return std::string("cannot keep the extended attribute ") + name + ": " + LastError();
    }
  }
  return {};
}

}  // namespace

std::string ContainingFolder(const std::string& path) {
  return FolderOf(path);
}

void RemoveFileNow(const char* path) {
  unlink(path);
}

std::string ErrorText(int errorNumber) {
  if (errorNumber == ENOSPC || errorNumber == EDQUOT) return "no space left on the device";
  return std::strerror(errorNumber);
}

bool FolderIsFull(const std::string& path, uint64_t bytes) {
  struct statvfs space {};
  if (statvfs(FolderOf(path).c_str(), &space) != 0) return false;
  return static_cast<uint64_t>(space.f_bavail) * space.f_frsize < bytes;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  FileIdentity identity;
  identity.sizeBytes = static_cast<uint64_t>(status.st_size);
  identity.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  identity.device = static_cast<uint64_t>(status.st_dev);
  identity.fileId = static_cast<uint64_t>(status.st_ino);
  identity.linkCount = static_cast<uint64_t>(status.st_nlink);
  return identity;
}

std::vector<std::string> LeftoverCopies(const std::string& folder) {
  std::vector<std::string> found;
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return found;
  while (const dirent* entry = readdir(listing)) {
    if (IsCopyName(entry->d_name)) found.push_back((folder == "/" ? "" : folder) + "/" + entry->d_name);
  }
  closedir(listing);
  std::sort(found.begin(), found.end());
  return found;
}

std::string ReadOnlyReason(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return LastError();
  if (!MayWrite(status, path)) return "read-only file";
  const std::string folder = FolderOf(path);
  struct stat folderStatus {};
  if (stat(folder.c_str(), &folderStatus) != 0) return LastError();
  if (!MayWrite(folderStatus, folder)) return "read-only folder";
  return {};
}

std::string LinkTarget(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : path;
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
  const UniqueDescriptor source(open(original.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source) return LastError();
  struct stat status {};
  if (fstat(source.Get(), &status) != 0) return LastError();
  const size_t slash = original.find_last_of('/');
  const std::string base = slash == std::string::npos ? original : original.substr(slash + 1);
  const std::string folder = FolderOf(original);
  const long maxName = pathconf(folder.c_str(), _PC_NAME_MAX);
  std::string pattern =
      folder + "/" + CopyNamePrefix(base, maxName > 0 ? static_cast<size_t>(maxName) : 255) + "XXXXXX";
  UniqueDescriptor target(mkostemp(pattern.data(), O_CLOEXEC));
  if (!target) return LastError();
  path_ = pattern;
  slot_ = RegisterCopy(path_);
  if (slot_ == kCopiesEnded) {
    std::remove(path_.c_str());
    path_.clear();
    return "the program is ending";
  }
  std::string error = CopyBytes(source.Get(), target.Get());
  // Where we may (as root, or a member of the file's group), the owners stay too; then
  // the permissions, which a change of owner may have cut, and last the extended
  // attributes, whose ACL would be cut by a change of mode.
  if (error.empty()) (void)!fchown(target.Get(), status.st_uid, status.st_gid);
  if (error.empty() && fchmod(target.Get(), status.st_mode & 07777) != 0) error = LastError();
  if (error.empty()) error = CopyAttributes(source.Get(), target.Get());
  // A failed close can be the first report of a failed write.
  if (close(target.Release()) != 0 && error.empty()) error = LastError();
  return error;
}

std::string ReplacementCopy::Flush() const {
  const UniqueDescriptor file(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return LastError();
  return fsync(file.Get()) == 0 ? std::string() : LastError();
}

std::string ReplacementCopy::Replace(const std::string& original) {
  if (rename(path_.c_str(), original.c_str()) != 0) return LastError();
  path_.clear();
  Forget();
  // The rename itself reaches the disk with the folder.
  const UniqueDescriptor folder(open(FolderOf(original).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) fsync(folder.Get());
  return {};
}

}  // namespace platform
