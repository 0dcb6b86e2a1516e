// Turning the command line's paths into the list of files to analyse.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tracklist/TrackScan.h"

namespace cli {

// A folder that could not be listed, and the system's reason.
struct UnlistedFolder {
  std::string folder;
  std::string reason;
};

// The files of the command line's paths in list order, and the folders of their scans
// that could not be listed.
class PathCollector final : public tracklist::TrackSink {
 public:
  explicit PathCollector(std::span<const std::string_view> extensions) : extensions_(extensions) {}

  void AppendRow(const std::string& path) override { paths.push_back(path); }
  // No window to keep painting.
  void TakeTurn() override {}
  void FolderNotListed(const std::string& folder, const std::string& reason) override {
    unlisted.push_back({folder, reason});
  }

  // A folder scan takes the names with one of the chosen extensions.
  bool TakesName(std::string_view name) override { return tracklist::HasExtensionIn(name, extensions_); }

  std::vector<std::string> paths;
  std::vector<UnlistedFolder> unlisted;

 private:
  std::span<const std::string_view> extensions_;
};

// Why a file gave no analysis at all: it cannot be opened, it is not a regular file,
// or it is not audio the engine can decode.
std::string DescribeUnreadable(const std::string& path);

}  // namespace cli
