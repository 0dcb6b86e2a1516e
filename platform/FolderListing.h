// Listing the entries of one folder, and telling folders apart by identity rather
// than by path text (two paths can reach one folder through a link).
// FindFirstFileA on Windows, opendir elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// The entries of one folder that match a pattern, in the file system's order,
// including "." and "..". An empty pattern matches every entry.
class FolderListing {
 public:
  // folder must end with a separator. A folder that cannot be listed (missing,
  // denied, a path longer than the system accepts) gives a listing with no entries,
  // and its reason in Failure(). Outside Windows only the match-all patterns "" and
  // "*.*" are understood.
  FolderListing(const std::string& folder, const std::string& pattern);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  bool IsOpen() const;
  // The system's reason why the folder could not be listed; empty when it could (a
  // folder without a single entry, as a drive's root can be, counts as listed).
  const std::string& Failure() const { return failure_; }
  bool HasEntry() const { return hasEntry_; }
  void Next();

  const char* EntryName() const;
  // Folders and links to folders count as folders.
  bool EntryIsFolder() const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  bool hasEntry_ = false;
  std::string failure_;
};

struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FolderIdentity&) const = default;
};

// The volume and file index of the folder a path leads to (after following links),
// or nothing when the folder cannot be opened.
std::optional<FolderIdentity> ReadFolderIdentity(const std::string& folder);

// True when the path names an existing folder (or a link to one).
bool IsExistingFolder(const std::string& path);

}  // namespace platform
