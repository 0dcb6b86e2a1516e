// Path helpers on POSIX systems: '/' separates names, /proc names the executable.
#include "platform/Paths.h"

#include <unistd.h>

namespace platform {

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string WithTrailingSeparator(std::string path) {
  if (!path.empty() && path.back() != '/') {
    path.push_back('/');
  }
  return path;
}

std::string ModuleFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return {};
  }
  const std::string program(path, static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

}  // namespace platform
