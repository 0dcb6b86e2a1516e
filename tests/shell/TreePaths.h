// Where the Linux-side fixture built the folder trees, as Wine's drive Z: shows it.
#pragma once

#include "ShellFixture.h"

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

// A main window plus the folder trees; skipped where the trees were not built.
class TreesFixture : public ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    root_ = TreesFolder();
    if (root_.empty()) {
      GTEST_SKIP() << "the folder trees are built by the Wine test fixture";
    }
  }
  std::string root_;
};

}  // namespace shell_test
