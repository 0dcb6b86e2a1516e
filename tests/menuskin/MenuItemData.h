// Reading and writing a menu item's item data by position, for the menu skin's tests.
#pragma once

#include <windows.h>

namespace menuskintest {

inline ULONG_PTR ItemData(HMENU menu, int position) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
  return info.dwItemData;
}

inline void SetItemData(HMENU menu, int position, ULONG_PTR data) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  info.dwItemData = data;
  SetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
}

}  // namespace menuskintest
