// Reading --files-from lists byte for byte, from a file or standard input.
#include "cli/PathList.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Console.h"

namespace cli {

std::vector<std::string> SplitPathList(std::string_view text, bool nulSeparated) {
  std::vector<std::string> paths;
  const char separator = nulSeparated ? '\0' : '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view entry = text.substr(start, end - start);
    if (!nulSeparated && !entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
    if (!entry.empty()) paths.emplace_back(entry);
    start = end + 1;
  }
  return paths;
}

bool ReadPathList(const std::string& source, bool nulSeparated, std::vector<std::string>& paths, std::string& error) {
  const bool standardInput = source == "-";
  std::FILE* file = standardInput ? stdin : std::fopen(source.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  if (standardInput) platform::ReadStandardInputAsBytes();
  std::string text;
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  const bool failed = std::ferror(file) != 0;
  const int readError = errno;
  if (!standardInput) std::fclose(file);
  if (failed) {
    error = std::strerror(readError);
    return false;
  }
  // A NUL byte ends a C string: the path would be cut short to another file's name.
  if (!nulSeparated) {
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
      const size_t line =
          1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
      error = "invalid line " + std::to_string(line) + ": it holds a NUL byte (use -0 for a NUL-separated list)";
      return false;
    }
  }
  const std::vector<std::string> listed = SplitPathList(text, nulSeparated);
  paths.insert(paths.end(), listed.begin(), listed.end());
  return true;
}

}  // namespace cli
