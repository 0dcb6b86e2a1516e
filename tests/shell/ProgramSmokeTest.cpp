// Starts the real TempoScout.exe, finds its window, asks it to close or quit, and
// checks that it ends with exit code 0.
#include "ProgramDriver.h"

#include "shell/MainWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

class ProgramSmoke : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramSmoke, StartsShowsItsWindowAndEndsWithExitCodeZero) {
  shell_test::RunningProgram program;
  ASSERT_TRUE(program.Start());
  const shell_test::MainWindowDriver window = program.WaitForMainWindow();
  ASSERT_TRUE(window) << "the program showed no main window";
  EXPECT_TRUE(IsZoomed(window.Window()));
  if (GetParam()) {
    window.RequestClose();
  } else {
    window.ChooseMenu(shell::kQuitCommand);
  }
  const std::optional<DWORD> exitCode = program.WaitForExit(30000);
  ASSERT_TRUE(exitCode) << "the program did not end after the request";
  EXPECT_EQ(*exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(CloseOrQuit, ProgramSmoke, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "CloseRequest" : "QuitCommand"; });

}  // namespace
