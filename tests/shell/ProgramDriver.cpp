// Starting the real program, reaching its window and controls by messages, and
// finding, reading and answering the dialogs it shows, from this process or another.
#include "ProgramDriver.h"

#include "platform/Clipboard.h"
#include "shell/MainWindow.h"

#include <commctrl.h>
#include <shlobj.h>

#include <thread>
#include <utility>

namespace shell_test {

namespace {

// Memory in the process of a window: list views, tree views and the folder dialog
// read and write through pointers in their own address space, and the window may be
// another process's. Inside this process the same calls work on its own memory.
class WindowProcessMemory {
 public:
  WindowProcessMemory(HWND window, size_t bytes) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (process_) {
      address_ = VirtualAllocEx(process_.Get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~WindowProcessMemory() {
    if (address_ != nullptr) {
      VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
    }
  }
  WindowProcessMemory(const WindowProcessMemory&) = delete;
  WindowProcessMemory& operator=(const WindowProcessMemory&) = delete;

  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t bytes) const {
    return address_ != nullptr && WriteProcessMemory(process_.Get(), At(offset), data, bytes, nullptr);
  }
  bool Read(size_t offset, void* data, size_t bytes) const {
    return address_ != nullptr && ReadProcessMemory(process_.Get(), At(offset), data, bytes, nullptr);
  }

 private:
  platform::UniqueHandle process_;
  void* address_ = nullptr;
};

bool HasClass(HWND window, const char* className) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  return std::string(cls) == className;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM out) {
  if (HasClass(window, "#32770") && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(TextOf(child));
  return TRUE;
}

BOOL CALLBACK FindTree(HWND child, LPARAM out) {
  if (HasClass(child, WC_TREEVIEWA)) {
    *reinterpret_cast<HWND*>(out) = child;
    return FALSE;
  }
  return TRUE;
}

// The text of the item selected in the dialog's folder tree.
std::string SelectedFolderName(HWND dialog) {
  HWND tree = nullptr;
  EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&tree));
  if (tree == nullptr) {
    return {};
  }
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) {
    return {};
  }
  constexpr size_t kTextBytes = 512;
  WindowProcessMemory memory(dialog, sizeof(TVITEMA) + kTextBytes);
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = memory.At(sizeof(TVITEMA));
  query.cchTextMax = kTextBytes;
  char text[kTextBytes] = {};
  if (!memory.Write(0, &query, sizeof query) ||
      !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory.At(0))) ||
      !memory.Read(sizeof(TVITEMA), text, kTextBytes - 1)) {
    return {};
  }
  return text;
}

// Selects path, again until the tree shows its last folder selected: while the dialog
// is still filling its tree a selection can be lost. False when it never took.
bool SelectFolder(HWND dialog, const std::string& path) {
  std::string name = path;
  while (!name.empty() && name.back() == '\\') {
    name.pop_back();
  }
  name = name.substr(name.find_last_of('\\') + 1);
  if (name.empty()) {
    return true;
  }
  WindowProcessMemory text(dialog, path.size() + 1);
  if (!text.Write(0, path.c_str(), path.size() + 1)) {
    return false;
  }
  for (int attempt = 0; attempt < 200; ++attempt) {
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(text.At(0)));
    Sleep(100);
    // A drive shows as its label followed by the drive in brackets.
    const std::string selected = SelectedFolderName(dialog);
    if (selected == name || (name.back() == ':' && selected.find("(" + name + ")") != std::string::npos)) {
      return true;
    }
  }
  return false;
}

// Waits up to 30 s for a visible dialog of uiThread, reads it and answers it.
void AnswerFirstDialog(DWORD uiThread, const DialogAction& action, HWND& dialog, DialogSeen& seen) {
  for (int attempt = 0; attempt < 300 && dialog == nullptr; ++attempt) {
    Sleep(100);
    EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
  }
  if (dialog == nullptr) {
    return;
  }
  Sleep(500);  // let the dialog fill its controls
  seen.title = TextOf(dialog);
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&seen.childTexts));
  if (HWND types = GetDlgItem(dialog, 0x470)) {  // cmb1, the file type list
    char first[256] = {};
    if (SendMessageA(types, CB_GETLBTEXTLEN, 0, 0) < static_cast<LRESULT>(sizeof first)) {
      SendMessageA(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    }
    seen.firstFilter = first;
  }
  action(dialog);
}

}  // namespace

std::string OwnFolder() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void PressCancel(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

void PressOk(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

DialogAction TypeFileName(std::string path) {
  return [path](HWND dialog) {
    // The file name box is cmb13 in the explorer-style template, edt1 in older ones.
    HWND box = GetDlgItem(dialog, 0x47c);
    if (box == nullptr) {
      box = GetDlgItem(dialog, 0x480);
    }
    SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PressOk(dialog);
  };
}

DialogAction PickFolder(std::string path, HWND closeAfterwards) {
  return [path, closeAfterwards](HWND dialog) {
    // Never confirm a selection that did not take: the dialog would return the
    // folder it started on, and a recursive load of that can be a whole home folder.
    if (SelectFolder(dialog, path)) {
      PressOk(dialog);
    } else {
      PressCancel(dialog);
    }
    if (closeAfterwards != nullptr) {
      PostMessageA(closeAfterwards, WM_CLOSE, 0, 0);
    }
  };
}

void MainWindowDriver::ChooseMenu(int commandId) const {
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void MainWindowDriver::PressFindBpm() const {
  PostMessageA(Control(shell::kFindBpmButtonId), BM_CLICK, 0, 0);
}

void MainWindowDriver::RequestClose() const {
  PostMessageA(window_, WM_CLOSE, 0, 0);
}

HWND MainWindowDriver::FocusedWindow() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndFocus;
}

void MainWindowDriver::PressKey(UINT virtualKey) const {
  HWND target = FocusedWindow();
  if (target == nullptr) {
    target = window_;
  }
  const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scanCode) << 16;
  const LPARAM up = down | static_cast<LPARAM>(3) << 30;  // previous state down, now released
  PostMessageA(target, WM_KEYDOWN, virtualKey, down);
  PostMessageA(target, WM_KEYUP, virtualKey, up);
}

std::optional<std::wstring> MainWindowDriver::CopyWithCtrlC(DWORD timeoutMs) const {
  const DWORD before = GetClipboardSequenceNumber();
  SetForegroundWindow(window_);
  INPUT keys[4] = {};
  const WORD sequence[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
  for (int key = 0; key < 4; ++key) {
    keys[key].type = INPUT_KEYBOARD;
    keys[key].ki.wVk = sequence[key];
    keys[key].ki.dwFlags = key >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  if (SendInput(4, keys, sizeof(INPUT)) != 4) {
    return std::nullopt;
  }
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetClipboardSequenceNumber() == before) {
    if (GetTickCount64() >= end) {
      return std::nullopt;
    }
    Sleep(10);
  }
  return platform::ClipboardText(nullptr);
}

std::string MainWindowDriver::Status() const {
  char text[1024] = {};
  SendMessageA(Control(shell::kStatusLabelId), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

int MainWindowDriver::ProgressPosition() const {
  return static_cast<int>(SendMessageA(Control(shell::kProgressBarId), PBM_GETPOS, 0, 0));
}

int MainWindowDriver::RowCount() const {
  return static_cast<int>(SendMessageA(Control(shell::kTrackListId), LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::string> MainWindowDriver::Rows(int column) const {
  HWND list = Control(shell::kTrackListId);
  constexpr size_t kTextBytes = 1024;
  WindowProcessMemory memory(list, sizeof(LVITEMA) + kTextBytes);
  std::vector<std::string> rows;
  const int count = RowCount();
  for (int row = 0; row < count; ++row) {
    LVITEMA query{};
    query.iSubItem = column;
    query.pszText = memory.At(sizeof(LVITEMA));
    query.cchTextMax = kTextBytes;
    char text[kTextBytes] = {};
    if (memory.Write(0, &query, sizeof query)) {
      const auto length = SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(memory.At(0)));
      if (length > 0) {
        memory.Read(sizeof(LVITEMA), text, static_cast<size_t>(length));
      }
    }
    rows.emplace_back(text);
  }
  return rows;
}

bool MainWindowDriver::WaitForStatus(const std::function<bool(const std::string&)>& done, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (done(Status())) {
      return true;
    }
    Sleep(20);
  }
  return false;
}

DialogOutcome MainWindowDriver::AnswerDialog(const DialogAction& action, const std::function<void()>& open) const {
  HWND dialog = nullptr;
  DialogOutcome outcome;
  const DWORD uiThread = GetWindowThreadProcessId(window_, nullptr);
  std::thread helper([&] { AnswerFirstDialog(uiThread, action, dialog, outcome.seen); });
  open();
  helper.join();
  outcome.found = dialog != nullptr;
  if (outcome.found) {
    for (int attempt = 0; attempt < 300 && IsWindow(dialog); ++attempt) {
      Sleep(20);
    }
    outcome.gone = !IsWindow(dialog);
  }
  return outcome;
}

bool MainWindowDriver::LoadFolder(const std::string& path) const {
  const DialogOutcome outcome = AnswerDialog(PickFolder(path), [this] { ChooseMenu(shell::kLoadFolderCommand); });
  return outcome.found && outcome.gone;
}

bool MainWindowDriver::LoadFolderRecursive(const std::string& path) const {
  const DialogOutcome outcome =
      AnswerDialog(PickFolder(path), [this] { ChooseMenu(shell::kLoadFolderRecursiveCommand); });
  return outcome.found && outcome.gone;
}

MainWindowDriver FindMainWindow(DWORD processId) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, shell::kWindowClass, shell::kWindowTitle)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(found, &owner);
      // Found as soon as it is created; ready once shown with its controls in place.
      if ((processId == 0 || owner == processId) && IsWindowVisible(found) &&
          GetDlgItem(found, shell::kFindBpmButtonId) != nullptr) {
        return MainWindowDriver(found);
      }
    }
    Sleep(100);
  }
  return MainWindowDriver();
}

RunningProgram::~RunningProgram() {
  if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 10000);
  }
}

bool RunningProgram::Start(const std::string& programPath) {
  const std::string path = programPath.empty() ? OwnFolder() + "TempoScout.exe" : programPath;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + path + "\"";
  if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  return true;
}

std::optional<DWORD> RunningProgram::WaitForExit(DWORD timeoutMs) const {
  if (!process_ || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process_.Get(), &exitCode);
  return exitCode;
}

}  // namespace shell_test
