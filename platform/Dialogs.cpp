// Common dialogs over comdlg32 and shell32. COM must be initialised on the calling
// thread for the folder browser.
#include "platform/Dialogs.h"

#include "platform/Paths.h"

#include <commdlg.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace platform {

namespace {

// The longest path the system can hand back, so the dialog never has to cut one off.
constexpr DWORD kLongestPathChars = 32768;

struct PidlDeleter {
  void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};

std::string FolderPathOf(const ITEMIDLIST* pidl) {
  std::vector<wchar_t> wide(kLongestPathChars);
  if (!SHGetPathFromIDListEx(pidl, wide.data(), static_cast<DWORD>(wide.size()), GPFIDL_DEFAULT)) {
    return {};
  }
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) {
    return {};
  }
  std::string path(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, path.data(), bytes, nullptr, nullptr);
  path.resize(static_cast<size_t>(bytes - 1));
  return path;
}

}  // namespace

std::string DialogFilter(std::string_view barSeparated) {
  std::string filter(barSeparated);
  for (char& c : filter) {
    if (c == '|') {
      c = '\0';
    }
  }
  filter += '\0';  // with the zero after the last element: the closing double zero
  return filter;
}

std::string ChooseFileToOpen(HWND owner, const std::string& title, std::string_view barSeparatedFilter) {
  const std::string filter = DialogFilter(barSeparatedFilter);
  std::vector<char> file(kLongestPathChars, '\0');
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&ofn)) {
    return {};
  }
  return std::string(file.data());
}

std::string ChooseFolder(HWND owner, const std::string& text) {
  // Receives the folder's display name, which the program does not use; the
  // dialog assumes this size.
  std::vector<char> displayName(MAX_PATH, '\0');
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName.data();
  info.pidlRoot = nullptr;  // the desktop
  info.lpszTitle = text.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
  std::unique_ptr<ITEMIDLIST, PidlDeleter> chosen(SHBrowseForFolderA(&info));
  if (!chosen) {
    return {};
  }
  return WithTrailingBackslash(FolderPathOf(chosen.get()));
}

}  // namespace platform
