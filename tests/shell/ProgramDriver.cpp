// Starting the real program and reaching its window and controls from another process.
#include "ProgramDriver.h"

#include "DialogDriver.h"
#include "shell/MainWindow.h"

#include <commctrl.h>

namespace shell_test {

bool StartProgram(RunningProgram& program) {
  char self[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path(self);
  path = path.substr(0, path.rfind('\\') + 1) + "TempoScout.exe";

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + path + "\"";
  if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  program.process.Reset(info.hProcess);
  program.thread.Reset(info.hThread);
  program.processId = info.dwProcessId;
  return true;
}

HWND WaitForMainWindow(DWORD processId) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, shell::kWindowClass, shell::kWindowTitle)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(found, &owner);
      // Found as soon as it is created; ready once shown with its controls in place.
      if (owner == processId && IsWindowVisible(found) && GetDlgItem(found, shell::kFindBpmButtonId) != nullptr) {
        return found;
      }
    }
    Sleep(100);
  }
  return nullptr;
}

bool LoadFolderInto(HWND mainWindow, const std::string& folder) {
  const DWORD uiThread = GetWindowThreadProcessId(mainWindow, nullptr);
  DialogDriver driver(uiThread, PickFolder(folder));
  PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(shell::kLoadFolderCommand, 0), 0);
  driver.Join();
  if (!driver.found) {
    return false;
  }
  // The answer was posted; a click posted before the dialog has gone would be taken
  // by the dialog's own loop instead of the program's.
  for (int attempt = 0; attempt < 300 && IsWindow(driver.dialog); ++attempt) {
    Sleep(20);
  }
  return !IsWindow(driver.dialog);
}

void PressFindBpm(HWND mainWindow) {
  PostMessageA(GetDlgItem(mainWindow, shell::kFindBpmButtonId), BM_CLICK, 0, 0);
}

std::string StatusText(HWND mainWindow) {
  char text[1024] = {};
  SendMessageA(GetDlgItem(mainWindow, shell::kStatusLabelId), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

int ProgressPosition(HWND mainWindow) {
  return static_cast<int>(SendMessageA(GetDlgItem(mainWindow, shell::kProgressBarId), PBM_GETPOS, 0, 0));
}

int RowCount(HWND mainWindow) {
  return static_cast<int>(SendMessageA(GetDlgItem(mainWindow, shell::kTrackListId), LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace shell_test
