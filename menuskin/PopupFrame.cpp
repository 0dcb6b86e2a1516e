// The flat frame of a menu popup window: background, one-pixel border and gutter
// column, composed off screen and copied in one step; and the test of which popup
// windows get it.
#include "menuskin/ItemDrawing.h"
#include "menuskin/PopupFrame.h"
#include "menuskin/ScopedGdi.h"
#include "menuskin/SkinProperties.h"

namespace menuskin {
namespace {

RECT WindowRectOrZeros(HWND window) {
  RECT rect{};
  if (!window || !GetWindowRect(window, &rect)) rect = RECT{};
  return rect;
}

}  // namespace

bool IsSkinnablePopup(const PopupPlacement& placement) {
  const RECT& m = placement.popup;
  const RECT& a = placement.active;
  int band = a.top + placement.captionHeight + placement.borderHeight;
  if (PtInRect(&placement.taskbar, placement.cursor)) return false;
  if (m.top - a.top == 2 * placement.borderHeight + placement.captionHeight) return false;
  if (a.top <= m.bottom && m.bottom <= band) return false;
  if (a.top <= m.top && m.top <= band) return false;
  if (m.top <= a.top && m.bottom <= band) return false;
  return true;
}

bool IsSkinnablePopup(HWND popup) {
  PopupPlacement placement;
  placement.popup = WindowRectOrZeros(popup);
  placement.active = WindowRectOrZeros(GetActiveWindow());
  if (!GetCursorPos(&placement.cursor)) placement.cursor = POINT{};
  placement.taskbar = WindowRectOrZeros(FindWindowA("Shell_TrayWnd", ""));
  placement.captionHeight = GetSystemMetrics(SM_CYCAPTION);
  placement.borderHeight = GetSystemMetrics(SM_CYBORDER);
  return IsSkinnablePopup(placement);
}

namespace {

// Composes the whole frame off screen and copies it onto the window's context in one
// step, so the popup never shows half a frame.
void PaintFrame(HWND popup, HDC windowDc) {
  MemDc memory(windowDc);
  if (!memory) return;
  RECT bounds = WindowRectOrZeros(popup);
  int width = bounds.right - bounds.left;
  int height = bounds.bottom - bounds.top;
  UniqueBitmap canvas(CreateCompatibleBitmap(windowDc, width, height));
  SelectGuard selectCanvas(memory.Get(), canvas.Get());
  if (!selectCanvas.Selected()) return;

  HDC dc = memory.Get();
  COLORREF gutter = MenuSkinColor(kGutterColor);
  {
    UniqueBrush background(CreateSolidBrush(MenuSkinColor(kMenuBackground)));
    UniquePen border(CreatePen(PS_SOLID, 1, MenuSkinColor(kFrameColor)));
    SelectGuard selectBrush(dc, background.Get());
    SelectGuard selectPen(dc, border.Get());
    Rectangle(dc, 0, 0, width, height);
  }
  {
    UniqueBrush gutterBrush(CreateSolidBrush(gutter));
    SelectGuard selectBrush(dc, gutterBrush.Get());
    SelectGuard selectPen(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, 1, 2, 24, height - 1);
    // One drop-down open under an owner-drawn bar item: open the top border
    // over the item's width so that the two join.
    HWND active = GetActiveWindow();
    if (active && GetPropValue(active, kPropFlagOpen) == 1) {
      auto openWidth = static_cast<int>(GetPropValue(active, kPropFlagWidth));
      if (openWidth > 2) Rectangle(dc, 1, 0, openWidth, 2);
    }
  }
  BitBlt(windowDc, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

}  // namespace

void DrawPopupFrame(HWND popup) {
  WindowDc windowDc(popup);
  if (!windowDc) return;
  PaintFrame(popup, windowDc.Get());
}

bool PopupPaintsItsOwnBorder(HWND popup) {
  RECT window = WindowRectOrZeros(popup);
  RECT client{};
  if (!GetClientRect(popup, &client)) return false;
  return client.right == window.right - window.left && client.bottom == window.bottom - window.top;
}

void RedrawFrameAroundItems(HWND popup) {
  auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  if (!menu) return;
  WindowDc windowDc(popup);
  if (!windowDc) return;
  RECT bounds = WindowRectOrZeros(popup);
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    RECT item{};
    if (!GetMenuItemRect(popup, menu, static_cast<UINT>(position), &item)) continue;
    ExcludeClipRect(windowDc.Get(), item.left - bounds.left, item.top - bounds.top, item.right - bounds.left,
                    item.bottom - bounds.top);
  }
  PaintFrame(popup, windowDc.Get());
}

}  // namespace menuskin
