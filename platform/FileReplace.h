// Replacing a file in one step: a copy made beside it (with its permissions), changed,
// put on disk, and renamed over the original, so a reader sees either the old file or
// the new one, never a mixture. Errors come back as the system's reason text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Why the file or its folder must not be written to, or "" when both may be. A file or
// folder without any write permission is left alone even where the system would let us
// (as root, or by renaming over it).
std::string ReadOnlyReason(const std::string& path);

// The file a path leads to after following symbolic links (the path itself where there
// are none to follow or it cannot be resolved), so a replace keeps the link.
std::string LinkTarget(const std::string& path);

// The folder a file's path names ("." for a bare name).
std::string ContainingFolder(const std::string& path);

// What tells one state of a file from another: a replaced file has another ID, an edited
// one another size or modification time.
struct FileIdentity {
  uint64_t sizeBytes = 0;
  int64_t modifiedNs = 0;
  uint64_t device = 0;
  uint64_t fileId = 0;
  uint64_t linkCount = 1;
  // A Windows symbolic link or junction, which a replace would turn into a plain file.
  bool reparsePoint = false;

  bool operator==(const FileIdentity& other) const {
    return sizeBytes == other.sizeBytes && modifiedNs == other.modifiedNs && device == other.device &&
           fileId == other.fileId;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file a path leads to (following links); no value when it cannot be
// taken.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The system's reason for an errno value (Windows: a system error code), with a full disk
// or an exceeded quota said plainly as "no space left on the device".
std::string ErrorText(int errorNumber);
// True when the folder holding `path` has no room left for a block of `bytes`.
bool FolderIsFull(const std::string& path, uint64_t bytes);

// The name of the copy of `name` (a file name without its folder) before the random
// part of `kCopySuffixLength` characters: ".NAME.temposcout-", with NAME cut at a whole
// UTF-8 character so the whole name fits in `maxNameBytes`.
std::string CopyNamePrefix(const std::string& name, size_t maxNameBytes);
inline constexpr size_t kCopySuffixLength = 6;

// Copies left in `folder` by a run that ended without removing them (".NAME.temposcout-"
// and six characters), by their full names.
std::vector<std::string> LeftoverCopies(const std::string& folder);

// Removes every copy in progress, and makes every later Make fail at once; safe from a
// signal handler or a console handler thread, for a process that ends before the copies'
// owners can remove them.
void RemoveCopiesInProgress();

// A copy of a file in the same folder that takes the original's place at Replace();
// until then the copy is removed again with this object.
class ReplacementCopy {
 public:
  ReplacementCopy() = default;
  ~ReplacementCopy();
  ReplacementCopy(const ReplacementCopy&) = delete;
  ReplacementCopy& operator=(const ReplacementCopy&) = delete;

  // Copies `original` to a new file in its folder, with its permissions, extended
  // attributes (which hold POSIX ACLs) and, where we may, its owners; on Windows with its
  // security descriptor. "" or why not.
  std::string Make(const std::string& original);
  // The copy's name, "" before Make.
  const std::string& Path() const { return path_; }
  // Puts the copy's bytes on disk; "" or why not.
  std::string Flush() const;
  // Renames the copy over `original` in one step, written through to the disk; "" or
  // why not. Once done, the copy is the original and is no longer removed.
  std::string Replace(const std::string& original);

 private:
  void Forget();

  std::string path_;
  int slot_ = -1;
};

}  // namespace platform
