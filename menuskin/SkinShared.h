// What the parts of the menu skin share: property names, the per-item record, the
// draw counter and the procedures that route, convert, measure and draw.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace menuskin {

inline constexpr char kPropWindowProc[] = "WindowProc";
inline constexpr char kPropWindowHook[] = "WindowHook";
inline constexpr char kPropOfficeMenuHook[] = "OfficeMenuHook";
inline constexpr char kPropFlagOpen[] = "FlagOpen";
inline constexpr char kPropFlagWidth[] = "FlagWidth";
inline constexpr char kPropFlagMenu[] = "FlagMenu";
inline constexpr char kPropMenuFade[] = "MenuFade";
inline constexpr char kPropMenuAnim[] = "MenuAnim";

// The platform's class atom of menu popup windows, and its name.
inline constexpr ULONG_PTR kPopupMenuClassAtom = 0x8000;
inline constexpr char kPopupMenuClassName[] = "#32768";

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

// Property values are pointer-sized on x86-64.
inline ULONG_PTR GetPropValue(HWND window, const char* name) {
  return reinterpret_cast<ULONG_PTR>(GetPropA(window, name));
}
inline void SetPropValue(HWND window, const char* name, ULONG_PTR value) {
  SetPropA(window, name, reinterpret_cast<HANDLE>(value));
}

LRESULT CALLBACK MenuSkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MenuWatchHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PopupMenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void SkinPopupItems(HMENU menu);
void UnskinPopupItems(HMENU menu);
void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);
HFONT CreateMenuFont();
// The text of an item: the record's text for a bar item, the menu's text for a popup
// item found by its identifier. Empty means a separator.
std::string MenuItemText(const MenuItemRecord& record, UINT itemId);

inline constexpr int kMenuBackground = 0;
inline constexpr int kGutterColor = 1;
inline constexpr int kMutedColor = 2;
inline constexpr int kFrameColor = 3;
inline constexpr int kSelectionColor = 4;
inline constexpr int kSelectionBorderColor = 5;
inline constexpr COLORREF kAcceleratorColor = RGB(80, 20, 128);

COLORREF MenuSkinColor(int index);
void DrawMenuItem(HWND window, const DRAWITEMSTRUCT* draw);

// Everything the popup test looks at, gathered from the desktop by the one-argument
// form.
struct PopupPlacement {
  RECT popup{};   // the popup window
  RECT active{};  // the active window, zeros when there is none
  POINT cursor{};
  RECT taskbar{};         // zeros when there is no taskbar
  int captionHeight = 0;  // SM_CYCAPTION
  int borderHeight = 0;   // SM_CYBORDER
};
bool IsSkinnablePopup(const PopupPlacement& placement);
bool IsSkinnablePopup(HWND popup);
void DrawPopupFrame(HWND popup);
// Wine paints a popup's border and margins in its client area, which covers the
// whole window, over the frame painted before it; the frame is then painted again
// around the items once the popup has drawn them.
bool PopupPaintsItsOwnBorder(HWND popup);
void RedrawFrameAroundItems(HWND popup);

}  // namespace menuskin
