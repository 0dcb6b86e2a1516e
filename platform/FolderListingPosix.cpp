// Folder listings over opendir / readdir, identities from stat's device and inode.
#include "platform/FolderListing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace platform {

struct FolderListing::Handle {
  explicit Handle(DIR* opened) : dir(opened) {}
  ~Handle() {
    if (dir != nullptr) {
      closedir(dir);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  DIR* dir;
  std::string folder;
  std::string name;
  bool isFolder = false;
};

FolderListing::FolderListing(const std::string& folder, const std::string&) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    failure_ = std::strerror(errno);
  }
  handle_ = std::make_unique<Handle>(dir);
  handle_->folder = folder;
  Next();
}

FolderListing::~FolderListing() = default;

bool FolderListing::IsOpen() const {
  return handle_->dir != nullptr;
}

void FolderListing::Next() {
  hasEntry_ = false;
  if (handle_->dir == nullptr) {
    return;
  }
  const dirent* entry = readdir(handle_->dir);
  if (entry == nullptr) {
    return;
  }
  handle_->name = entry->d_name;
  if (entry->d_type == DT_DIR) {
    handle_->isFolder = true;
  } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
    // A link to a folder is a folder here, as a junction is on Windows.
    struct stat info {};
    handle_->isFolder = stat((handle_->folder + handle_->name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  } else {
    handle_->isFolder = false;
  }
  hasEntry_ = true;
}

const char* FolderListing::EntryName() const {
  return handle_->name.c_str();
}

bool FolderListing::EntryIsFolder() const {
  return handle_->isFolder;
}

std::optional<FolderIdentity> ReadFolderIdentity(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return FolderIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool IsExistingFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace platform
