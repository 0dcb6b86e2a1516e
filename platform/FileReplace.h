// Replacing a file in one step: a copy made beside it (with its permissions), changed,
// put on disk, and renamed over the original, so a reader sees either the old file or
// the new one, never a mixture. Errors come back as the system's reason text.
#pragma once

#include <string>

namespace platform {

// Why the file or its folder must not be written to, or "" when both may be. A file or
// folder without any write permission is left alone even where the system would let us
// (as root, or by renaming over it).
std::string ReadOnlyReason(const std::string& path);

// The file a path leads to after following symbolic links (the path itself where there
// are none to follow or it cannot be resolved), so a replace keeps the link.
std::string LinkTarget(const std::string& path);

// A copy of a file in the same folder that takes the original's place at Replace();
// until then the copy is removed again with this object.
class ReplacementCopy {
 public:
  ReplacementCopy() = default;
  ~ReplacementCopy();
  ReplacementCopy(const ReplacementCopy&) = delete;
  ReplacementCopy& operator=(const ReplacementCopy&) = delete;

  // Copies `original` to a new file in its folder, with its permissions (and on POSIX
  // systems its owners, where we may); "" or why not.
  std::string Make(const std::string& original);
  // The copy's name, "" before Make.
  const std::string& Path() const { return path_; }
  // Puts the copy's bytes on disk; "" or why not.
  std::string Flush() const;
  // Renames the copy over `original` in one step, written through to the disk; "" or
  // why not. Once done, the copy is the original and is no longer removed.
  std::string Replace(const std::string& original);

 private:
  std::string path_;
};

}  // namespace platform
