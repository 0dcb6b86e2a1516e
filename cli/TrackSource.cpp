// Files and folders from the command line, scanned like the program's loading commands.
#include "cli/TrackSource.h"

#include "platform/FolderListing.h"
#include "platform/Paths.h"
#include "shell/TrackScan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace cli {

namespace {

class PathCollector final : public shell::TrackSink {
 public:
  explicit PathCollector(std::vector<std::string>& paths) : paths_(paths) {}
  void AppendRow(const std::string& path) override { paths_.push_back(path); }
  // No window to keep painting.
  void TakeTurn() override {}

 private:
  std::vector<std::string>& paths_;
};

// Why the folder (ending with a separator) cannot be listed, or nothing when it can.
// The scans treat such a folder as empty; the tool reports it.
std::optional<std::string> ListingFailure(const std::string& folder) {
#ifdef _WIN32
  WIN32_FIND_DATAA data{};
  const HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    FindClose(find);
    return std::nullopt;
  }
  const DWORD error = GetLastError();
  // A drive's root folder may hold no entry at all, not even "." and "..".
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return std::nullopt;
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      text, sizeof text, nullptr);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason.empty() ? "system error " + std::to_string(error) : reason;
#else
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::string(std::strerror(errno));
  closedir(dir);
  return std::nullopt;
#endif
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Visits the folders the recursive scan enters, in its order and with its rule for
// links back to an ancestor, and notes those that cannot be listed.
void CheckTree(const std::string& path, std::vector<platform::FolderIdentity>& ancestors,
               std::vector<UnlistedFolder>& unlisted) {
  const std::string folder = platform::WithTrailingSeparator(path);
  const std::optional<platform::FolderIdentity> identity = platform::ReadFolderIdentity(folder);
  if (identity) {
    for (const platform::FolderIdentity& ancestor : ancestors) {
      if (ancestor == *identity) return;
    }
  }
  if (std::optional<std::string> failure = ListingFailure(folder)) {
    unlisted.push_back({path, *failure});
    return;
  }
  if (identity) ancestors.push_back(*identity);
  for (platform::FolderListing listing(folder, ""); listing.HasEntry(); listing.Next()) {
    if (listing.EntryIsFolder() && !IsDotEntry(listing.EntryName())) {
      CheckTree(folder + listing.EntryName(), ancestors, unlisted);
    }
  }
  if (identity) ancestors.pop_back();
}

}  // namespace

void CollectTracks(const std::string& argument, bool recursive, std::vector<std::string>& paths,
                   std::vector<UnlistedFolder>& unlisted) {
  if (!platform::IsExistingFolder(argument)) {
    paths.push_back(argument);
    return;
  }
  PathCollector collector(paths);
  const std::string folder = platform::WithTrailingSeparator(argument);
  if (recursive) {
    shell::ScanFolderTreeInto(collector, folder, 1);
    std::vector<platform::FolderIdentity> ancestors;
    CheckTree(argument, ancestors, unlisted);
  } else {
    shell::ScanFolderInto(collector, folder);
    if (std::optional<std::string> failure = ListingFailure(folder)) unlisted.push_back({argument, *failure});
  }
}

std::string DescribeUnreadable(const std::string& path) {
  if (platform::IsExistingFolder(path)) {
    return "is a folder";
  }
#ifndef _WIN32
  // Opening a FIFO or a device could wait for ever; such a file is no audio file.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
#endif
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::strerror(errno);
  }
  std::fclose(file);
  return "not an MP3 or WAV file that can be decoded";
}

}  // namespace cli
