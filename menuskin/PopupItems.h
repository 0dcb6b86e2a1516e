// The record each skinned menu item carries as its item data, turning a drop-down's
// items into owner-drawn ones and back, and measuring them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace menuskin {

// Attached to every skinned item as its item data.
struct MenuItemRecord {
  HMENU Menu = nullptr;  // the menu that holds the item
  ULONG_PTR Icon = 0;    // the item data the item carried before: drawn as its icon
  bool IsBar = false;    // a top-level item of a menu bar
  std::string Text;      // the text of a bar item; popup items read theirs from the menu
};

// Popup items drawn since the last reset; the first paint of a popup shows no
// selection box.
extern int PopupDrawCount;

// Records are owned here, so that item data that is not one of them is never taken
// for one (and never freed).
MenuItemRecord* NewMenuItemRecord();
void FreeMenuItemRecord(MenuItemRecord* record);
MenuItemRecord* FindMenuItemRecord(ULONG_PTR itemData);
std::size_t LiveMenuItemRecordCount();

void SkinPopupItems(HMENU menu);
void UnskinPopupItems(HMENU menu);
void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);
HFONT CreateMenuFont();
// The text of an item: the record's text for a bar item, the menu's text for a popup
// item found by its identifier. Empty means a separator.
std::string MenuItemText(const MenuItemRecord& record, UINT itemId);

}  // namespace menuskin
