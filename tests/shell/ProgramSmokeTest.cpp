// Starts the real TempoScout.exe, finds its window, asks it to close or quit, and
// checks that it ends with exit code 0.
#include "ProgramDriver.h"

#include "platform/ScopedWin.h"
#include "shell/MainWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

class ProgramSmoke : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramSmoke, StartsShowsItsWindowAndEndsWithExitCodeZero) {
  shell_test::RunningProgram program;
  ASSERT_TRUE(shell_test::StartProgram(program));
  platform::UniqueHandle& process = program.process;

  HWND window = shell_test::WaitForMainWindow(program.processId);
  if (window == nullptr) {
    TerminateProcess(process.Get(), 1);
    FAIL() << "the program showed no main window";
  }
  EXPECT_TRUE(IsZoomed(window));
  if (GetParam()) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(shell::kQuitCommand, 0), 0);
  }
  if (WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    FAIL() << "the program did not end after the request";
  }
  DWORD exitCode = 1234;
  GetExitCodeProcess(process.Get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(CloseOrQuit, ProgramSmoke, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "CloseRequest" : "QuitCommand"; });

}  // namespace
