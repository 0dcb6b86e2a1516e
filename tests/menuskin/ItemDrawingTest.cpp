// Drawing of popup items into a memory bitmap under the reference colour scheme,
// checked pixel by pixel.
#include "menuskin/ScopedGdi.h"
#include "menuskin/ItemDrawing.h"
#include "menuskin/PopupItems.h"
#include "tests/menuskin/ReferenceColors.h"
#include "tests/menuskin/MenuItemData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace {

using namespace menuskin;
using namespace menuskintest;

constexpr int kCanvasWidth = 240;
constexpr int kCanvasHeight = 30;
constexpr int kItemRight = 200;  // items span x = 0 to 199
// Shows where the drawing left the canvas untouched.
constexpr COLORREF kUntouched = RGB(1, 2, 3);

enum ItemId : UINT { kPlain = 1, kGrayed = 2, kChecked = 3, kTabbed = 4 };

class ItemDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kCanvasWidth;
    info.bmiHeader.biHeight = -kCanvasHeight;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap_, nullptr);
    pixels_ = static_cast<const std::uint32_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, bitmap_);
    Clear();

    menu_ = CreatePopupMenu();
    AppendMenuA(menu_, MF_STRING, kPlain, "Load File");
    AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu_, MF_STRING | MF_GRAYED, kGrayed, "Gray");
    AppendMenuA(menu_, MF_STRING | MF_CHECKED, kChecked, "C");
    AppendMenuA(menu_, MF_STRING, kTabbed, "Open\tCtrl+O");
    SkinPopupItems(menu_);
  }

  void TearDown() override {
    UnskinPopupItems(menu_);
    DestroyMenu(menu_);
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }

  void Clear() {
    RECT all{0, 0, kCanvasWidth, kCanvasHeight};
    HBRUSH brush = CreateSolidBrush(kUntouched);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }

  ULONG_PTR Record(int position) { return menuskintest::ItemData(menu_, position); }

  // drawCountBefore > item count draws as a later paint, 0 as the first paint.
  void Draw(int position, UINT id, UINT state, int bottom = 22, int drawCountBefore = 100) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_MENU;
    draw.itemID = id;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state;
    draw.hDC = dc_;
    draw.rcItem = RECT{0, 0, kItemRight, bottom};
    draw.itemData = Record(position);
    PopupDrawCount = drawCountBefore;
    DrawMenuItem(nullptr, &draw);
    GdiFlush();
  }

  COLORREF Pixel(int x, int y) const {
    std::uint32_t bgra = pixels_[y * kCanvasWidth + x];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
  }

  std::set<COLORREF> ColorsIn(int left, int top, int right, int bottom) const {
    std::set<COLORREF> colors;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) colors.insert(Pixel(x, y));
    return colors;
  }

  ReferenceColors colors_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  const std::uint32_t* pixels_ = nullptr;
  HMENU menu_ = nullptr;
};

TEST_F(ItemDrawing, PlainItemHasBackgroundAndGutterColumns) {
  Draw(0, kPlain, 0);
  EXPECT_EQ(Pixel(0, 0), kRefGutter);
  EXPECT_EQ(Pixel(19, 21), kRefGutter);
  EXPECT_EQ(Pixel(20, 0), kRefMenuBackground);
  EXPECT_EQ(Pixel(27, 0), kRefMenuBackground);
  EXPECT_EQ(Pixel(kItemRight - 1, 21), kRefMenuBackground);
  EXPECT_EQ(Pixel(kItemRight, 0), kUntouched);
  EXPECT_EQ(Pixel(0, 22), kUntouched);
  // The label in black from x = 28 on, nothing left of it.
  EXPECT_EQ(ColorsIn(20, 0, 28, 22), std::set<COLORREF>{kRefMenuBackground});
  EXPECT_TRUE(ColorsIn(28, 0, 120, 22).count(RGB(0, 0, 0)));
}

TEST_F(ItemDrawing, SelectionBoxAfterTheFirstPaint) {
  Draw(0, kPlain, ODS_SELECTED, 22, 100);
  for (auto [x, y] : {std::pair{0, 0}, {kItemRight - 1, 0}, {0, 21}, {kItemRight - 1, 21}, {10, 0}, {0, 10}}) {
    EXPECT_EQ(Pixel(x, y), kRefSelectionBorder) << x << "," << y;
  }
  EXPECT_EQ(Pixel(1, 1), kRefSelection);
  EXPECT_EQ(Pixel(10, 10), kRefSelection);  // over the gutter too
  EXPECT_EQ(Pixel(kItemRight - 2, 20), kRefSelection);
  EXPECT_EQ(Pixel(kItemRight, 0), kUntouched);
}

TEST_F(ItemDrawing, NoSelectionBoxDuringTheFirstPaint) {
  Draw(0, kPlain, ODS_SELECTED, 22, 0);
  EXPECT_EQ(PopupDrawCount, 1);
  EXPECT_EQ(Pixel(0, 0), kUntouched);
  EXPECT_EQ(Pixel(10, 10), kUntouched);
  EXPECT_EQ(Pixel(kItemRight - 2, 20), kUntouched);
  // The count reaches the item count only at the last item of the first paint.
  Draw(0, kPlain, ODS_SELECTED, 22, GetMenuItemCount(menu_) - 1);
  EXPECT_EQ(Pixel(10, 10), kUntouched);
  Draw(0, kPlain, ODS_SELECTED, 22, GetMenuItemCount(menu_));
  EXPECT_EQ(Pixel(10, 10), kRefSelection);
}

TEST_F(ItemDrawing, GrayedItemUsesMutedTextAndNoSelectionBox) {
  Draw(2, kGrayed, ODS_GRAYED | ODS_SELECTED);
  EXPECT_EQ(Pixel(10, 10), kRefGutter);
  EXPECT_EQ(Pixel(150, 0), kRefMenuBackground);
  std::set<COLORREF> text = ColorsIn(28, 0, 120, 22);
  EXPECT_TRUE(text.count(kRefMuted));
  EXPECT_FALSE(text.count(RGB(0, 0, 0)));
}

struct CheckCase {
  const char* name;
  UINT state;
  COLORREF background;
  COLORREF glyph;
};

class CheckMark : public ItemDrawing, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckMark, SitsOnTheBackgroundOfItsState) {
  Draw(3, kChecked, GetParam().state);
  int width = GetSystemMetrics(SM_CXMENUCHECK);
  int height = GetSystemMetrics(SM_CYMENUCHECK);
  int top = height / 2 - 2;
  std::set<COLORREF> glyph = ColorsIn(4, top, 4 + width, std::min(top + height, 22));
  EXPECT_EQ(glyph, (std::set<COLORREF>{GetParam().background, GetParam().glyph}));
}

INSTANTIATE_TEST_SUITE_P(
    States, CheckMark,
    ::testing::Values(CheckCase{"Plain", ODS_CHECKED, kRefGutter, RGB(0, 0, 0)},
                      CheckCase{"Selected", ODS_CHECKED | ODS_SELECTED, kRefSelection, RGB(0, 0, 0)},
                      CheckCase{"GrayedSelected", ODS_CHECKED | ODS_GRAYED | ODS_SELECTED, kRefSelection, kRefMuted},
                      CheckCase{"DisabledSelected", ODS_CHECKED | ODS_GRAYED | ODS_DISABLED | ODS_SELECTED, kRefGutter,
                                kRefMuted}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ItemDrawing, SeparatorIsOneMutedRowRunningPastTheItem) {
  Draw(1, 0, ODS_CHECKED, 5);
  const int middle = 2;  // (0 + 5) / 2
  EXPECT_EQ(Pixel(27, middle), kRefMenuBackground);
  EXPECT_EQ(Pixel(28, middle), kRefMuted);
  EXPECT_EQ(Pixel(kItemRight - 1, middle), kRefMuted);
  // Rectangle(28, middle, right + 24, middle + 1) with a one-pixel pen covers
  // columns 28 to right + 23.
  EXPECT_EQ(Pixel(kItemRight + 23, middle), kRefMuted);
  EXPECT_EQ(Pixel(kItemRight + 24, middle), kUntouched);
  EXPECT_EQ(Pixel(100, middle - 1), kRefMenuBackground);
  EXPECT_EQ(Pixel(100, middle + 1), kRefMenuBackground);
  EXPECT_EQ(Pixel(5, middle), kRefGutter);
  // No check mark on a separator, even when flagged.
  EXPECT_EQ(ColorsIn(0, 0, 20, 5), std::set<COLORREF>{kRefGutter});
}

TEST_F(ItemDrawing, ShortcutTextIsRightAlignedInTheAcceleratorColour) {
  Draw(4, kTabbed, 0);
  SIZE shortcut{};
  GetTextExtentPoint32A(dc_, "Ctrl+O", 6, &shortcut);
  std::set<COLORREF> right = ColorsIn(kItemRight - 2 - shortcut.cx, 0, kItemRight - 2, 22);
  EXPECT_TRUE(right.count(kAcceleratorColor));
  EXPECT_FALSE(right.count(RGB(0, 0, 0)));
  EXPECT_EQ(ColorsIn(kItemRight - 2, 0, kItemRight, 22), std::set<COLORREF>{kRefMenuBackground});
  std::set<COLORREF> label = ColorsIn(28, 0, 80, 22);
  EXPECT_TRUE(label.count(RGB(0, 0, 0)));
  EXPECT_FALSE(label.count(kAcceleratorColor));
}

TEST_F(ItemDrawing, ShortcutKeepsItsColourOnAGrayedItem) {
  ModifyMenuA(menu_, 4, MF_BYPOSITION | MF_STRING | MF_GRAYED, kTabbed, "Open\tCtrl+O");
  UnskinPopupItems(menu_);
  SkinPopupItems(menu_);
  Draw(4, kTabbed, ODS_GRAYED);
  EXPECT_TRUE(ColorsIn(150, 0, kItemRight - 2, 22).count(kAcceleratorColor));
  EXPECT_TRUE(ColorsIn(28, 0, 80, 22).count(kRefMuted));
}

TEST_F(ItemDrawing, EveryDrawingStepDeletesWhatItCreated) {
  int before = LiveScopedGdiCount();
  HGDIOBJ brush = GetCurrentObject(dc_, OBJ_BRUSH);
  HGDIOBJ pen = GetCurrentObject(dc_, OBJ_PEN);
  Draw(0, kPlain, ODS_SELECTED);
  Draw(1, 0, 0, 5);
  Draw(3, kChecked, ODS_CHECKED | ODS_SELECTED);
  EXPECT_EQ(LiveScopedGdiCount(), before);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), pen);
}

}  // namespace
