// Start-up steps 2 and 5 to 9 as the program takes them, for the tests.
#include "ShellFixture.h"

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
  driver_ = MainWindowDriver(shell_->window->Handle());
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

}  // namespace shell_test
