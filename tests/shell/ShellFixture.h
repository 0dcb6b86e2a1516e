// A main window built by the same steps the program's start-up takes, driven through
// the program driver, and a page opener that records what it was asked to open.
#pragma once

#include "ProgramDriver.h"

#include "platform/PageOpener.h"
#include "shell/Shell.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace shell_test {

class RecordingOpener final : public platform::PageOpener {
 public:
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

class ShellFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Removes whatever is queued for this thread without acting on it.
  void DrainQueue();
  std::vector<std::string> Rows(int column = 0) const { return driver_.Rows(column); }

  std::unique_ptr<shell::Shell> shell_;
  RecordingOpener opener_;
  // The window above, driven as a user would drive it.
  MainWindowDriver driver_;
};

}  // namespace shell_test
