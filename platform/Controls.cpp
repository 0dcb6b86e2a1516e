// Control creation and list-view access through the ANSI messages.
#include "platform/Controls.h"

#include <commctrl.h>

#include <vector>

namespace platform {

bool InitialiseCommonControls() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
  return InitCommonControlsEx(&icc) != FALSE;
}

HWND CreateControl(HWND parent, int id, const char* className, const std::string& text, DWORD style,
                   DWORD extendedStyle, ControlRect rect) {
  HWND control = CreateWindowExA(extendedStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE, rect.x, rect.y,
                                 rect.width, rect.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  }
  return control;
}

void SetListViewExtendedStyle(HWND list, DWORD extendedStyle) {
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extendedStyle, extendedStyle);
}

bool InsertListColumn(HWND list, int position, int subItem, const std::string& header, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<char*>(header.c_str());
  column.iSubItem = subItem;
  return SendMessageA(list, LVM_INSERTCOLUMNA, position, reinterpret_cast<LPARAM>(&column)) != -1;
}

std::vector<ListColumn> ListColumns(HWND list) {
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int count = header != nullptr ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  if (count <= 0) {
    return {};
  }
  std::vector<int> order(static_cast<size_t>(count));
  if (!SendMessageA(list, LVM_GETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()))) {
    for (int column = 0; column < count; ++column) {
      order[static_cast<size_t>(column)] = column;
    }
  }
  std::vector<ListColumn> columns;
  for (int index : order) {
    char text[256] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_SUBITEM;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    if (SendMessageA(list, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column))) {
      columns.push_back({text, column.iSubItem});
    }
  }
  return columns;
}

int ListRowCount(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void ClearList(HWND list) {
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

int AppendListRow(HWND list, const std::string& text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListRowCount(list);
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

std::string ListItemText(HWND list, int row, int column) {
  // The list copies at most the buffer's size and does not say how long the text
  // is, so the buffer grows until the copy no longer fills it.
  std::vector<char> buffer(512);
  for (;;) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    auto copied = static_cast<size_t>(SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < buffer.size()) {
      return std::string(buffer.data(), copied);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool SetListItemText(HWND list, int row, int column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  return SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

void SetProgressRange(HWND progress, int low, int high) {
  SendMessageA(progress, PBM_SETRANGE32, low, high);
}

}  // namespace platform
