// Starts the real TempoScout.exe from beside the calling executable and drives it from
// outside: its main window, the folder it loads, the Find BPM button, the status label.
#pragma once

#include "platform/ScopedWin.h"

#include <windows.h>

#include <string>

namespace shell_test {

struct RunningProgram {
  platform::UniqueHandle process;
  platform::UniqueHandle thread;
  DWORD processId = 0;
};

// False when the program could not be started.
bool StartProgram(RunningProgram& program);

// The program's main window once start-up has shown it with its controls, or null
// after 30 s.
HWND WaitForMainWindow(DWORD processId);

// Chooses "Load Folder" in the program's menu and picks folder in the dialog it shows;
// returns once the dialog has been answered (false when no dialog appeared).
bool LoadFolderInto(HWND mainWindow, const std::string& folder);

// A click on the Find BPM button, the way the button reports one.
void PressFindBpm(HWND mainWindow);

std::string StatusText(HWND mainWindow);
int ProgressPosition(HWND mainWindow);
int RowCount(HWND mainWindow);

// Polls until the status label satisfies done, for at most timeoutMs.
template <typename Predicate>
bool WaitForStatus(HWND mainWindow, Predicate done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (done(StatusText(mainWindow))) {
      return true;
    }
    Sleep(20);
  }
  return false;
}

}  // namespace shell_test
