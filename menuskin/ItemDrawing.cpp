// The skin's palette and the painting of one owner-drawn menu item: popup items with
// gutter, selection box, check mark, icon, label and shortcut; separators; bar items.
#include "menuskin/ItemDrawing.h"
#include "menuskin/PopupItems.h"
#include "menuskin/ScopedGdi.h"
#include "menuskin/SkinProperties.h"

#include <string>

namespace menuskin {
namespace {

// The gutter ends before x = 20 and text starts at x = 28, in the popup's client
// coordinates whatever the item's own left edge.
constexpr int kGutterRight = 21;
constexpr int kTextLeft = 28;
constexpr int kSeparatorOverrun = 24;
constexpr int kIconSize = 16;

BYTE BlendChannel(BYTE first, int firstWeight, BYTE second, int secondWeight) {
  return static_cast<BYTE>((firstWeight * first + secondWeight * second) / 256);
}

// Weights add up to 256; the remainder of each channel is dropped.
COLORREF Blend(COLORREF first, int firstWeight, COLORREF second, int secondWeight) {
  return RGB(BlendChannel(GetRValue(first), firstWeight, GetRValue(second), secondWeight),
             BlendChannel(GetGValue(first), firstWeight, GetGValue(second), secondWeight),
             BlendChannel(GetBValue(first), firstWeight, GetBValue(second), secondWeight));
}

// Fills (left, top) to (right - 2, bottom - 2): Rectangle with the null pen leaves
// out the last column and row.
void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF fill) {
  UniqueBrush brush(CreateSolidBrush(fill));
  SelectGuard selectBrush(dc, brush.Get());
  SelectGuard selectPen(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, left, top, right, bottom);
}

// Fills and outlines (left, top) to (right - 1, bottom - 1) with a one-pixel pen.
void OutlineBox(HDC dc, int left, int top, int right, int bottom, COLORREF fill, COLORREF outline) {
  UniqueBrush brush(CreateSolidBrush(fill));
  UniquePen pen(CreatePen(PS_SOLID, 1, outline));
  SelectGuard selectBrush(dc, brush.Get());
  SelectGuard selectPen(dc, pen.Get());
  Rectangle(dc, left, top, right, bottom);
}

void FillItem(HDC dc, const RECT& item) {
  FillBox(dc, item.left, item.top, item.right + 1, item.bottom + 1, MenuSkinColor(kMenuBackground));
}

void DrawGutter(HDC dc, const RECT& item) {
  FillBox(dc, item.left, item.top, kGutterRight, item.bottom + 1, MenuSkinColor(kGutterColor));
}

void DrawSeparator(HDC dc, const RECT& item) {
  FillItem(dc, item);
  DrawGutter(dc, item);
  int middle = (item.top + item.bottom) / 2;
  COLORREF muted = MenuSkinColor(kMutedColor);
  // Runs past the item's right edge; the popup window clips it.
  OutlineBox(dc, kTextLeft, middle, item.right + kSeparatorOverrun, middle + 1, muted, muted);
}

// The platform's check glyph is monochrome: copied into the colour context its white
// turns into the background colour and its black into the text colour.
void DrawCheckMark(HDC dc, const RECT& item, UINT state) {
  MemDc memory(dc);
  if (!memory) return;
  int width = GetSystemMetrics(SM_CXMENUCHECK);
  int height = GetSystemMetrics(SM_CYMENUCHECK);
  UniqueBitmap glyph(CreateBitmap(width, height, 1, 1, nullptr));
  SelectGuard selectGlyph(memory.Get(), glyph.Get());
  if (!selectGlyph.Selected()) return;

  RECT glyphRect{0, 0, width, height};
  DrawFrameControl(memory.Get(), &glyphRect, DFC_MENU, DFCS_MENUCHECK);
  COLORREF background = MenuSkinColor(kGutterColor);
  if (!(state & ODS_DISABLED) && (state & ODS_SELECTED)) background = MenuSkinColor(kSelectionColor);
  COLORREF previousBackground = SetBkColor(dc, background);
  BitBlt(dc, item.left + 4, item.top + height / 2 - 2, width, height, memory.Get(), 0, 0, SRCCOPY);
  SetBkColor(dc, previousBackground);
}

void DrawLabelAndShortcut(HDC dc, const RECT& item, const std::string& text, int textHeight) {
  RECT textRect{kTextLeft, (item.top + item.bottom - textHeight) / 2, item.right - 2, item.bottom};
  std::string::size_type tab = text.find('\t');
  std::string label = text.substr(0, tab);
  std::string shortcut = tab == std::string::npos ? std::string() : text.substr(tab + 1);
  DrawTextA(dc, label.c_str(), static_cast<int>(label.size()), &textRect, DT_END_ELLIPSIS);
  if (!shortcut.empty()) {
    SetTextColor(dc, kAcceleratorColor);
    DrawTextA(dc, shortcut.c_str(), static_cast<int>(shortcut.size()), &textRect, DT_RIGHT | DT_END_ELLIPSIS);
  }
}

void DrawPopupItem(HDC dc, const DRAWITEMSTRUCT& draw, const MenuItemRecord& record, const std::string& text,
                   int textHeight) {
  ++PopupDrawCount;
  const RECT& item = draw.rcItem;
  if (text.empty()) {
    DrawSeparator(dc, item);
    return;
  }
  if (draw.itemState & ODS_GRAYED) {
    SetTextColor(dc, MenuSkinColor(kMutedColor));
    FillItem(dc, item);
    DrawGutter(dc, item);
  } else if (draw.itemState & ODS_SELECTED) {
    SetTextColor(dc, RGB(0, 0, 0));
    // During the first paint after the popup opened the box stays away, so an
    // item reported selected from the start does not flash.
    if (PopupDrawCount > GetMenuItemCount(record.Menu)) {
      OutlineBox(dc, item.left, item.top, item.right, item.bottom, MenuSkinColor(kSelectionColor),
                 MenuSkinColor(kSelectionBorderColor));
    }
  } else {
    SetTextColor(dc, RGB(0, 0, 0));
    FillItem(dc, item);
    DrawGutter(dc, item);
  }
  if (draw.itemState & ODS_CHECKED) DrawCheckMark(dc, item, draw.itemState);
  if (record.Icon) {
    DrawIconEx(dc, item.left + 2, item.top + 3, reinterpret_cast<HICON>(record.Icon), kIconSize, kIconSize, 0, nullptr,
               DI_NORMAL);
  }
  DrawLabelAndShortcut(dc, item, text, textHeight);
}

void DrawBarItem(HWND activeWindow, HDC dc, const DRAWITEMSTRUCT& draw, const std::string& text) {
  PopupDrawCount = 0;
  const RECT& item = draw.rcItem;
  if (draw.itemState & ODS_SELECTED) {
    OutlineBox(dc, item.left, item.top, item.right, item.bottom, MenuSkinColor(kGutterColor),
               MenuSkinColor(kFrameColor));
    // Opens the bottom outline so that the item joins its drop-down; painted in
    // the gutter colour like the popup's opened top border.
    FillBox(dc, item.left + 1, item.bottom - 1, item.right, item.bottom + 1, MenuSkinColor(kGutterColor));
    if (activeWindow) SetPropValue(activeWindow, kPropFlagWidth, static_cast<ULONG_PTR>(item.right - item.left));
  } else if (draw.itemState & ODS_HOTLIGHT) {
    OutlineBox(dc, item.left, item.top, item.right, item.bottom, MenuSkinColor(kSelectionColor),
               MenuSkinColor(kSelectionBorderColor));
  } else {
    FillBox(dc, item.left, item.top, item.right + 1, item.bottom + 1, GetSysColor(COLOR_BTNFACE));
  }
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  RECT textRect = item;
  textRect.top = item.top + (item.bottom - item.top) / 2 - extent.cy / 2 - 1;
  std::string drawn = text;
  DrawTextExA(dc, drawn.data(), -1, &textRect, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, nullptr);
}

}  // namespace

COLORREF MenuSkinColor(int index) {
  COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  switch (index) {
    case kMenuBackground:
      return highlight;
    case kGutterColor:
      return Blend(highlight, 55, GetSysColor(COLOR_BTNFACE), 201);
    case kMutedColor:
      return Blend(highlight, 77, GetSysColor(COLOR_GRAYTEXT), 179);
    case kFrameColor:
      return Blend(GetSysColor(COLOR_BTNFACE), 96, GetSysColor(COLOR_3DDKSHADOW), 160);
    case kSelectionColor:
      return Blend(highlight, 189, GetSysColor(COLOR_ACTIVECAPTION), 67);
    case kSelectionBorderColor: {
      COLORREF inner = Blend(GetSysColor(COLOR_BTNFACE), 32, GetSysColor(COLOR_ACTIVECAPTION), 224);
      return Blend(highlight, 64, inner, 192);
    }
    default:
      return RGB(0, 0, 0);
  }
}

void DrawMenuItem(HWND /*window*/, const DRAWITEMSTRUCT* draw) {
  if (!draw || draw->CtlType != ODT_MENU || !draw->hDC) return;
  const MenuItemRecord* record = FindMenuItemRecord(draw->itemData);
  if (!record) return;
  HDC dc = draw->hDC;
  SetBkMode(dc, TRANSPARENT);
  std::string text = MenuItemText(*record, draw->itemID);
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SetTextColor(dc, RGB(0, 0, 0));
  if (record->IsBar) {
    DrawBarItem(GetActiveWindow(), dc, *draw, text);
  } else {
    DrawPopupItem(dc, *draw, *record, text, extent.cy);
  }
}

}  // namespace menuskin
