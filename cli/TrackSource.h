// Turning the command line's paths into the list of files to analyse.
#pragma once

#include <string>
#include <vector>

namespace cli {

// A folder contributes its audio files as "Load Folder" (or, with recursive, "Load
// Folder Recursive") would list them; anything else is taken as a file, unchanged.
void CollectTracks(const std::string& argument, bool recursive, std::vector<std::string>& paths);

// Why a file gave no analysis at all: it cannot be opened, or it is not audio the
// engine can decode.
std::string DescribeUnreadable(const std::string& path);

}  // namespace cli
