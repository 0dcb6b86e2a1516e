// Path helpers on Windows, over the ANSI functions, with buffers sized to what the
// system returns.
#include "platform/Paths.h"

#include <windows.h>

#include <vector>

namespace platform {

bool EndsWithBackslash(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  const char* begin = path.c_str();
  const char* end = begin + path.size();
  const char* last = CharPrevExA(CP_ACP, begin, end, 0);
  return last == end - 1 && *last == '\\';
}

std::string_view FileNameOf(std::string_view path, unsigned codePage) {
  // A trail byte of a double-byte character can be 0x5C or 0x2F: the text is walked
  // character by character, so only a whole character counts as a separator.
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const auto byte = static_cast<BYTE>(path[i]);
    if (byte == '\\' || byte == '/') {
      start = ++i;
    } else {
      i += IsDBCSLeadByteEx(codePage, byte) && i + 1 < path.size() ? 2 : 1;
    }
  }
  return path.substr(start);
}

std::string_view FileNameOf(std::string_view path) {
  return FileNameOf(path, CP_ACP);
}

std::string WithTrailingBackslash(std::string path) {
  if (!path.empty() && !EndsWithBackslash(path)) {
    path += '\\';
  }
  return path;
}

std::string WithTrailingSeparator(std::string path) {
  return WithTrailingBackslash(std::move(path));
}

std::string ModuleFolder() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      std::string path(buffer.data(), length);
      return path.substr(0, path.find_last_of('\\') + 1);
    }
    buffer.resize(buffer.size() * 2);  // the name was cut off
  }
}

}  // namespace platform
