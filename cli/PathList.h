// The list of paths given with --files-from: one per line or NUL-separated.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The paths of a list: separated by newlines (a CR before the newline belongs to the
// line end) or, with nulSeparated, by NUL bytes. Empty entries are skipped.
std::vector<std::string> SplitPathList(std::string_view text, bool nulSeparated);

// Reads the list from a file, or from standard input when source is "-"; false with
// the reason in error when it cannot be read.
bool ReadPathList(const std::string& source, bool nulSeparated, std::vector<std::string>& paths, std::string& error);

}  // namespace cli
