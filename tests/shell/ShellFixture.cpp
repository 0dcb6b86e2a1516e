// Start-up steps 2 and 5 to 9 as the program takes them, for the tests.
#include "ShellFixture.h"

#include "platform/Controls.h"
#include "platform/UiSession.h"
#include "shell/MainWindow.h"

#include <windows.h>

namespace shell_test {

void ShellFixture::SetUp() {
  static platform::UiSession session;
  shell_ = std::make_unique<shell::Shell>();
  shell_->instance = GetModuleHandleA(nullptr);
  shell_->pageOpener = &opener_;
  ASSERT_TRUE(shell::OpenMainWindow(*shell_));
  shell::PrepareForControls();
  shell::AttachMainMenu(*shell_);
  shell::CreateMainControls(*shell_);
  DrainQueue();
}

void ShellFixture::TearDown() {
  if (shell_) {
    shell_->worker.StopAndWait();
    shell_.reset();
  }
  DrainQueue();
}

void ShellFixture::DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&msg);
  }
}

std::vector<std::string> ShellFixture::Rows(int column) const {
  std::vector<std::string> rows;
  for (int row = 0; row < platform::ListRowCount(shell_->trackList); ++row) {
    rows.push_back(platform::ListItemText(shell_->trackList, row, column));
  }
  return rows;
}

}  // namespace shell_test
