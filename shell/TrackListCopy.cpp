// Reads the track list cell by cell into one table of text and hands it to the clipboard.
#include "shell/TrackListCopy.h"

#include "platform/Clipboard.h"
#include "platform/Controls.h"

#include <vector>

namespace shell {

namespace {

constexpr char kCellSeparator = '\t';
constexpr char kRowEnd[] = "\r\n";

}  // namespace

std::string TrackListTable(HWND trackList) {
  const std::vector<platform::ListColumn> columns = platform::ListColumns(trackList);
  std::string table;
  for (size_t column = 0; column < columns.size(); ++column) {
    if (column > 0) {
      table += kCellSeparator;
    }
    table += columns[column].header;
  }
  table += kRowEnd;
  const int rows = platform::ListRowCount(trackList);
  for (int row = 0; row < rows; ++row) {
    for (size_t column = 0; column < columns.size(); ++column) {
      if (column > 0) {
        table += kCellSeparator;
      }
      table += platform::ListItemText(trackList, row, columns[column].subItem);
    }
    table += kRowEnd;
  }
  return table;
}

bool CopyTrackList(const Shell& shell) {
  if (shell.window == nullptr || shell.trackList == nullptr) {
    return false;
  }
  return platform::PutTextOnClipboard(shell.window->Handle(), platform::WideFromAnsi(TrackListTable(shell.trackList)));
}

}  // namespace shell
