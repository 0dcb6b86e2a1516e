// Files and folders from the command line, scanned like the program's loading commands.
#include "cli/TrackSource.h"

#include "platform/FolderListing.h"
#include "platform/Paths.h"
#include "shell/TrackScan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

}  // namespace

void CollectTracks(const std::string& argument, bool recursive, std::vector<std::string>& paths) {
  if (!platform::IsExistingFolder(argument)) {
    paths.push_back(argument);
    return;
  }
  PathCollector collector(paths);
  const std::string folder = platform::WithTrailingSeparator(argument);
  if (recursive) {
    shell::ScanFolderTreeInto(collector, folder, 1);
  } else {
    shell::ScanFolderInto(collector, folder);
  }
}

std::string DescribeUnreadable(const std::string& path) {
  if (platform::IsExistingFolder(path)) {
    return "is a folder";
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::strerror(errno);
  }
  std::fclose(file);
  return "not an MP3 or WAV file that can be decoded";
}

}  // namespace cli
