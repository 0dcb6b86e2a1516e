// Drives TempoScout the way a user would, in this process or in the real program
// started beside the calling executable: its main window's menus, button and close
// requests, the dialogs its commands open, and what its list, status label and
// progress bar show. The window tests and the screenshot tool all go through it.
#pragma once

#include "platform/ScopedWin.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace shell_test {

// The folder of the calling executable, with its trailing backslash: where the build
// puts the program, its pages and the engine libraries.
std::string OwnFolder();

std::string TextOf(HWND window);

// What a dialog showed before it was answered.
struct DialogSeen {
  std::string title;
  std::vector<std::string> childTexts;
  std::string firstFilter;  // the first entry of a file dialog's type list
};

// How to answer a dialog, carried out from a helper thread once the dialog shows.
using DialogAction = std::function<void(HWND dialog)>;

void PressCancel(HWND dialog);
void PressOk(HWND dialog);
// Types path into the file dialog's name box and presses OK.
DialogAction TypeFileName(std::string path);
// Selects path in the folder dialog's tree and presses OK (Cancel when the selection
// never took), then posts a close request to closeAfterwards when one is given.
DialogAction PickFolder(std::string path, HWND closeAfterwards = nullptr);

struct DialogOutcome {
  bool found = false;  // a dialog showed within 30 s and was answered
  bool gone = false;   // and had closed again by the time the driver returned
  DialogSeen seen;
};

// The program's main window, reached only through messages, so the same calls work
// on a window of this process and on one of the real program.
class MainWindowDriver {
 public:
  explicit MainWindowDriver(HWND window = nullptr) : window_(window) {}

  HWND Window() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

  // Posted, as the menu, the button and the caption's close box post them.
  void ChooseMenu(int commandId) const;
  void PressFindBpm() const;
  void RequestClose() const;
  // Posts the key's press and release to the control that has the keyboard focus in
  // the window's thread (the window itself when none has), as the keyboard would.
  void PressKey(UINT virtualKey) const;
  // Brings the window to the front and types Ctrl+C through the system's keyboard
  // input, so the program sees Ctrl held as it does for a real key press. Returns the
  // clipboard's text once the clipboard has changed, or nothing when it does not
  // change within timeoutMs.
  std::optional<std::wstring> CopyWithCtrlC(DWORD timeoutMs = 10000) const;
  // The window of the window's thread that has the keyboard focus, or null.
  HWND FocusedWindow() const;

  std::string Status() const;
  int ProgressPosition() const;
  int RowCount() const;
  // One column of every row: 0 the path, 1 the primary and 2 the alternative tempo.
  std::vector<std::string> Rows(int column = 0) const;

  // Polls until the status label satisfies done, for at most timeoutMs.
  bool WaitForStatus(const std::function<bool(const std::string&)>& done, DWORD timeoutMs) const;

  // Calls open, which makes the window's thread show a dialog, and answers that
  // dialog with action from a helper thread. open may block until the dialog has
  // been answered (a command run on this thread) or return at once (a menu command
  // posted to another process); either way this returns once the dialog has closed,
  // so that nothing posted afterwards is taken by the dialog's own loop.
  DialogOutcome AnswerDialog(const DialogAction& action, const std::function<void()>& open) const;

  // "Load Folder" from the menu, with path picked in its dialog; true when the dialog
  // came, took the folder and closed. For a window of another process.
  bool LoadFolder(const std::string& path) const;
  // The same with "Load Folder Recursive".
  bool LoadFolderRecursive(const std::string& path) const;

 private:
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  HWND window_;
};

// The main window of the program with that process identifier (any TempoScout when
// it is 0) once start-up has shown it with its controls; null after 30 s.
MainWindowDriver FindMainWindow(DWORD processId = 0);

// The real TempoScout.exe from beside the calling executable. A program still
// running when this object goes is ended, so a failed test never leaves it behind.
class RunningProgram {
 public:
  RunningProgram() = default;
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // False when the program could not be started. Without a path, the TempoScout.exe
  // beside the calling executable; otherwise the copy at programPath.
  bool Start(const std::string& programPath = {});
  MainWindowDriver WaitForMainWindow() const { return FindMainWindow(processId_); }
  // The exit code once the program has ended, or nothing when it is still running
  // after timeoutMs.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

 private:
  platform::UniqueHandle process_;
  DWORD processId_ = 0;
};

}  // namespace shell_test
