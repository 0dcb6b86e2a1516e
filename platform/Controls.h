// Child controls of a window and the track-list operations the program needs:
// creation in client coordinates, the default GUI font, list columns and rows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Registers the list view, progress bar and standard control classes.
bool InitialiseCommonControls();

// A visible child window with the given class, text and styles, using DEFAULT_GUI_FONT.
HWND CreateControl(HWND parent, int id, const char* className, const std::string& text, DWORD style,
                   DWORD extendedStyle, ControlRect rect);

void SetListViewExtendedStyle(HWND list, DWORD extendedStyle);
bool InsertListColumn(HWND list, int position, int subItem, const std::string& header, int width);

// A column of a report list as the user sees it: its header and the sub-item it shows.
struct ListColumn {
  std::string header;
  int subItem = 0;
};

// The list's columns from left to right, in the order they are shown.
std::vector<ListColumn> ListColumns(HWND list);

int ListRowCount(HWND list);
void ClearList(HWND list);
// Appends a row whose first column is text; returns its index, or -1.
int AppendListRow(HWND list, const std::string& text);
std::string ListItemText(HWND list, int row, int column);
bool SetListItemText(HWND list, int row, int column, const std::string& text);

void SetProgressRange(HWND progress, int low, int high);

}  // namespace platform
