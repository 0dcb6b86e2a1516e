// Finding a thread's dialog and pressing, typing and picking in it from outside.
#include "DialogDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <utility>

namespace shell_test {

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM out) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) == "#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(TextOf(child));
  return TRUE;
}

// Memory in the dialog's process: the folder dialog and its tree read and write
// through pointers in their own address space, and the dialog may be another
// process's. Inside this process the same calls work on its own memory.
class DialogMemory {
 public:
  DialogMemory(HWND dialog, size_t bytes) {
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~DialogMemory() {
    if (address_ != nullptr) {
      VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    if (process_ != nullptr) {
      CloseHandle(process_);
    }
  }
  DialogMemory(const DialogMemory&) = delete;
  DialogMemory& operator=(const DialogMemory&) = delete;

  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t bytes) const {
    return address_ != nullptr && WriteProcessMemory(process_, At(offset), data, bytes, nullptr);
  }
  bool Read(size_t offset, void* data, size_t bytes) const {
    return address_ != nullptr && ReadProcessMemory(process_, At(offset), data, bytes, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

BOOL CALLBACK FindTree(HWND child, LPARAM out) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (std::string(cls) == WC_TREEVIEWA) {
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
  DialogMemory memory(dialog, sizeof(TVITEMA) + kTextBytes);
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
  DialogMemory text(dialog, path.size() + 1);
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

}  // namespace

std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

DialogDriver::DialogDriver(DWORD uiThread, Action action)
    : thread_([this, uiThread, action = std::move(action)] { Run(uiThread, action); }) {}

DialogDriver::~DialogDriver() {
  Join();
}

void DialogDriver::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void DialogDriver::Run(DWORD uiThread, const Action& action) {
  for (int attempt = 0; attempt < 300 && dialog == nullptr; ++attempt) {
    Sleep(100);
    EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
  }
  if (dialog == nullptr) {
    return;
  }
  found = true;
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

void PressCancel(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

void PressOk(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

DialogDriver::Action TypeFileName(std::string path) {
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

DialogDriver::Action PickFolder(std::string path, HWND closeAfterwards) {
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

}  // namespace shell_test
