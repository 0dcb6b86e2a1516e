// Drives a common dialog from a helper thread the way a user would: finds the dialog
// of a thread (of this process or another one), reads what it shows, then acts on it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace shell_test {

std::string TextOf(HWND window);

// What the helper saw of the dialog before acting on it.
struct DialogSeen {
  std::string title;
  std::vector<std::string> childTexts;
  std::string firstFilter;
};

class DialogDriver {
 public:
  using Action = std::function<void(HWND dialog)>;

  // Waits up to 30 s for a visible dialog of uiThread, then carries out action on it.
  DialogDriver(DWORD uiThread, Action action);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  void Join();

  bool found = false;
  HWND dialog = nullptr;
  DialogSeen seen;

 private:
  void Run(DWORD uiThread, const Action& action);

  std::thread thread_;
};

void PressCancel(HWND dialog);
void PressOk(HWND dialog);

// Types path into the file dialog's name box and presses OK.
DialogDriver::Action TypeFileName(std::string path);

// Selects path in the folder dialog's tree and presses OK, then posts a close request
// to closeAfterwards when one is given. The dialog may belong to another process.
DialogDriver::Action PickFolder(std::string path, HWND closeAfterwards = nullptr);

}  // namespace shell_test
