// Ctrl+C in the main window: the whole track list as a tab-separated table on the
// clipboard, ready to paste into a spreadsheet or a text editor.
#pragma once

#include "shell/Shell.h"

#include <windows.h>

#include <string>

namespace shell {

// What the list shows, in the program's ANSI texts: the header row, then every row,
// each cell as shown, cells separated by a tab and each row ended by CR LF.
std::string TrackListTable(HWND trackList);

// Puts TrackListTable on the clipboard as Unicode text; false when the clipboard
// would not take it. Runs on the main thread, which carries out every change to the
// list, the running batch's included, so no row changes half-way through the copy.
bool CopyTrackList(const Shell& shell);

}  // namespace shell
