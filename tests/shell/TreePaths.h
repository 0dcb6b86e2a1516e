// Where the Linux-side fixture built the folder trees, as Wine's drive Z: shows it.
#pragma once

#include <string>

namespace shell_test {

inline std::string TreesFolder() {
#ifdef TEMPOSCOUT_TEST_TREES
  std::string path = "Z:" + std::string(TEMPOSCOUT_TEST_TREES) + "\\";
  for (char& c : path) {
    if (c == '/') {
      c = '\\';
    }
  }
  return path;
#else
  return {};
#endif
}

}  // namespace shell_test
