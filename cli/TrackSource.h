// Turning the command line's paths into the list of files to analyse.
#pragma once

#include <string>
#include <vector>

namespace cli {

// A folder that could not be listed, and the system's reason.
struct UnlistedFolder {
  std::string folder;
  std::string reason;
};

// A folder contributes its audio files as "Load Folder" (or, with recursive, "Load
// Folder Recursive") would list them; anything else is taken as a file, unchanged.
// Folders of the scan that cannot be listed (denied, a path too long for the system)
// are added to unlisted.
void CollectTracks(const std::string& argument, bool recursive, std::vector<std::string>& paths,
                   std::vector<UnlistedFolder>& unlisted);

// Why a file gave no analysis at all: it cannot be opened, it is not a regular file,
// or it is not audio the engine can decode.
std::string DescribeUnreadable(const std::string& path);

}  // namespace cli
