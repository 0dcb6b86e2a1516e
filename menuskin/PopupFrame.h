// The flat frame of a menu popup window and the test of which popup windows get it.
#pragma once

#include <windows.h>

namespace menuskin {

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
