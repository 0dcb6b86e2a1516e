// The open-file dialog and the folder-browse dialog, returning the chosen path or
// the empty text when the user cancels.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

// "Desc|pattern|" (each element followed by a bar) into the dialog's form, where each
// element ends with a zero and the list with a second zero.
std::string DialogFilter(std::string_view barSeparated);

// Needs only the chosen file's folder to exist; hides the read-only box and leaves
// the process's current folder as it was.
std::string ChooseFileToOpen(HWND owner, const std::string& title, std::string_view barSeparatedFilter);

// New-style folder browser rooted at the desktop, showing text above the tree. The
// result ends in a backslash (a drive root stays "D:\").
std::string ChooseFolder(HWND owner, const std::string& text);

}  // namespace platform
