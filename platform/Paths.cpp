// The path helpers that read the text alone, the same on every platform.
#include "platform/Paths.h"

namespace platform {

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace platform
