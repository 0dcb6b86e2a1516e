// File replacement over open / mkostemp / fsync / rename.
#include "platform/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

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
  return std::strerror(errno);
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

}  // namespace

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
}

std::string ReplacementCopy::Make(const std::string& original) {
  const UniqueDescriptor source(open(original.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source) return LastError();
  struct stat status {};
  if (fstat(source.Get(), &status) != 0) return LastError();
  const size_t slash = original.find_last_of('/');
  const std::string base = slash == std::string::npos ? original : original.substr(slash + 1);
  std::string pattern = FolderOf(original) + "/." + base + ".bpmtag-XXXXXX";
  UniqueDescriptor target(mkostemp(pattern.data(), O_CLOEXEC));
  if (!target) return LastError();
  path_ = pattern;
  std::string error = CopyBytes(source.Get(), target.Get());
  // Where we may (as root, or a member of the file's group), the owners stay too; then
  // the permissions, which a change of owner may have cut.
  if (error.empty()) (void)!fchown(target.Get(), status.st_uid, status.st_gid);
  if (error.empty() && fchmod(target.Get(), status.st_mode & 07777) != 0) error = LastError();
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
  // The rename itself reaches the disk with the folder.
  const UniqueDescriptor folder(open(FolderOf(original).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) fsync(folder.Get());
  return {};
}

}  // namespace platform
