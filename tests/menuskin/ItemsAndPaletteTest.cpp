// The palette under a known colour scheme, item conversion and its undoing, item
// measuring, and the skinned window's routing of menu messages.
#include "menuskin/MenuSkin.h"
#include "menuskin/ScopedGdi.h"
#include "menuskin/ItemDrawing.h"
#include "menuskin/PopupItems.h"
#include "menuskin/SkinProperties.h"
#include "tests/menuskin/ReferenceColors.h"
#include "tests/menuskin/MenuItemData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace menuskin;
using namespace menuskintest;

struct PaletteCase {
  int index;
  COLORREF expected;
};

class Palette : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(Palette, ReferenceSchemeGivesTheWorkedValues) {
  ReferenceColors colors;
  EXPECT_EQ(MenuSkinColor(GetParam().index), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, Palette,
                         ::testing::Values(PaletteCase{0, kRefMenuBackground}, PaletteCase{1, kRefGutter},
                                           PaletteCase{2, kRefMuted}, PaletteCase{3, kRefFrame},
                                           PaletteCase{4, kRefSelection}, PaletteCase{5, kRefSelectionBorder},
                                           PaletteCase{-1, RGB(0, 0, 0)}, PaletteCase{6, RGB(0, 0, 0)},
                                           PaletteCase{1000, RGB(0, 0, 0)}));

struct FileItem {
  UINT id;
  const char* text;  // nullptr for a separator
};

const std::vector<FileItem> kFileItems{{1, "Load File"}, {2, "Load Folder"},  {3, "Load Folder Recursive"},
                                       {0, nullptr},     {4, "Goto WebPage"}, {5, "Zarivuriz, Izar ovu Deduvedu"},
                                       {0, nullptr},     {6, "Quit"}};

HMENU CreateFileMenu() {
  HMENU menu = CreatePopupMenu();
  for (const FileItem& item : kFileItems) {
    if (item.text) {
      AppendMenuA(menu, MF_STRING, item.id, item.text);
    } else {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
  }
  return menu;
}

// The width a text has in the platform's menu font, measured apart from the skin.
int MenuFontTextWidth(const std::string& text) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  SIZE extent{};
  GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  return extent.cx;
}

class Items : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    menu_ = CreateFileMenu();
    recordsBefore_ = LiveMenuItemRecordCount();
  }
  void TearDown() override {
    DestroyMenu(menu_);
    DestroyWindow(window_);
  }

  MEASUREITEMSTRUCT Measure(int position, UINT id) {
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemID = id;
    measure.itemData = ItemData(menu_, position);
    MeasureMenuItem(window_, &measure);
    return measure;
  }

  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  std::size_t recordsBefore_ = 0;
};

TEST_F(Items, SkinningGivesEveryItemARecordAndKeepsItsText) {
  SkinPopupItems(menu_);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_ + kFileItems.size());
  for (int position = 0; position < static_cast<int>(kFileItems.size()); ++position) {
    const MenuItemRecord* record = FindMenuItemRecord(ItemData(menu_, position));
    ASSERT_NE(record, nullptr) << position;
    EXPECT_EQ(record->Menu, menu_);
    EXPECT_FALSE(record->IsBar);
    EXPECT_EQ(record->Icon, 0u);
    const FileItem& item = kFileItems[static_cast<std::size_t>(position)];
    EXPECT_EQ(MenuItemText(*record, item.id), item.text ? item.text : "") << position;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID;
    GetMenuItemInfoA(menu_, static_cast<UINT>(position), TRUE, &info);
    EXPECT_EQ(info.fType, static_cast<UINT>(MFT_OWNERDRAW)) << position;
    EXPECT_EQ(info.wID, item.id);
  }
  UnskinPopupItems(menu_);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_);
}

TEST_F(Items, UnskinningGivesBackThePreviousItemData) {
  HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  SetItemData(menu_, 0, reinterpret_cast<ULONG_PTR>(icon));
  SetItemData(menu_, 7, 0x1234);
  SkinPopupItems(menu_);
  EXPECT_EQ(FindMenuItemRecord(ItemData(menu_, 0))->Icon, reinterpret_cast<ULONG_PTR>(icon));
  UnskinPopupItems(menu_);
  EXPECT_EQ(ItemData(menu_, 0), reinterpret_cast<ULONG_PTR>(icon));
  EXPECT_EQ(ItemData(menu_, 7), 0x1234u);
  EXPECT_EQ(ItemData(menu_, 1), 0u);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_);
}

TEST_F(Items, OpeningTwiceWithoutClosingKeepsOneRecordPerItem) {
  SkinPopupItems(menu_);
  ULONG_PTR first = ItemData(menu_, 0);
  SkinPopupItems(menu_);
  EXPECT_EQ(ItemData(menu_, 0), first);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_ + kFileItems.size());
  UnskinPopupItems(menu_);
  EXPECT_EQ(ItemData(menu_, 0), 0u);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_);
}

TEST_F(Items, ClosingAMenuThatWasNeverSkinnedLeavesItsItemDataAlone) {
  SetItemData(menu_, 2, 0xBEEF);
  UnskinPopupItems(menu_);
  EXPECT_EQ(ItemData(menu_, 2), 0xBEEFu);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_);
}

TEST_F(Items, EachFileItemMeasuresTextWidthPlus44By22AndSeparators24By5) {
  SkinPopupItems(menu_);
  for (int position = 0; position < static_cast<int>(kFileItems.size()); ++position) {
    const FileItem& item = kFileItems[static_cast<std::size_t>(position)];
    MEASUREITEMSTRUCT measure = Measure(position, item.id);
    if (item.text) {
      EXPECT_EQ(measure.itemWidth, static_cast<UINT>(MenuFontTextWidth(item.text) + 44)) << item.text;
      EXPECT_EQ(measure.itemHeight, 22u) << item.text;
    } else {
      EXPECT_EQ(measure.itemWidth, 24u);
      EXPECT_EQ(measure.itemHeight, 5u);
    }
  }
  UnskinPopupItems(menu_);
}

TEST_F(Items, TabbedTextMeasuresWhole) {
  const std::string text = "Open\tCtrl+O";
  AppendMenuA(menu_, MF_STRING, 40, text.c_str());
  SkinPopupItems(menu_);
  MEASUREITEMSTRUCT measure = Measure(GetMenuItemCount(menu_) - 1, 40);
  EXPECT_EQ(measure.itemWidth, static_cast<UINT>(MenuFontTextWidth(text) + 44));
  EXPECT_GT(measure.itemWidth, static_cast<UINT>(MenuFontTextWidth("Open") + 44));
  UnskinPopupItems(menu_);
}

TEST_F(Items, MeasuringSomethingOtherThanAMenuItemChangesNothing) {
  SkinPopupItems(menu_);
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_BUTTON;
  measure.itemID = 1;
  measure.itemData = ItemData(menu_, 0);
  measure.itemWidth = 7;
  measure.itemHeight = 9;
  MeasureMenuItem(window_, &measure);
  EXPECT_EQ(measure.itemWidth, 7u);
  EXPECT_EQ(measure.itemHeight, 9u);
  UnskinPopupItems(menu_);
}

// The window procedure the skin finds, recording what reaches it.
std::vector<UINT> reachedOriginal;
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM || message == WM_DRAWITEM || message == WM_INITMENUPOPUP ||
      message == WM_UNINITMENUPOPUP) {
    reachedOriginal.push_back(message);
    if (message == WM_MEASUREITEM || message == WM_DRAWITEM) return 77;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Routing : public Items {
 protected:
  void SetUp() override {
    Items::SetUp();
    reachedOriginal.clear();
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    ASSERT_EQ(InstallMenuSkin(window_), 1);
  }
};

TEST_F(Routing, DropDownIsConvertedAndCountedWindowMenuIsNot) {
  SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), MAKELPARAM(0, 1));
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  EXPECT_EQ(ItemData(menu_, 0), 0u);

  SetPropValue(window_, kPropFlagWidth, 40);
  SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), MAKELPARAM(0, 0));
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 1u);
  EXPECT_NE(FindMenuItemRecord(ItemData(menu_, 0)), nullptr);

  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), MAKELPARAM(0, 1));
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 1u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagWidth), 40u);

  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), MAKELPARAM(0, 0));
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagWidth), 0u);
  EXPECT_EQ(ItemData(menu_, 0), 0u);
  EXPECT_EQ(LiveMenuItemRecordCount(), recordsBefore_);
  // All four are passed on, converted or not.
  EXPECT_EQ(reachedOriginal.size(), 4u);
}

TEST_F(Routing, FlagWidthIsClearedOnlyWhenTheLastDropDownCloses) {
  HMENU about = CreatePopupMenu();
  AppendMenuA(about, MF_STRING, 7, "Help");
  SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), 0);
  SetPropValue(window_, kPropFlagWidth, 33);
  // The platform may announce the next drop-down before closing the previous one.
  SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(about), 0);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 2u);
  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), 0);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 1u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagWidth), 33u);
  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(about), 0);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagWidth), 0u);
  // A stray closing does not wrap the count around.
  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(about), 0);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  DestroyMenu(about);
}

TEST_F(Routing, OwnerDrawMessagesForMenuItemsAreAnsweredAndOthersPassedOn) {
  SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), 0);
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemID = 1;
  measure.itemData = ItemData(menu_, 0);
  reachedOriginal.clear();
  EXPECT_EQ(SendMessageA(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 1);
  EXPECT_EQ(measure.itemHeight, 22u);
  EXPECT_TRUE(reachedOriginal.empty());

  MEASUREITEMSTRUCT control{};
  control.CtlType = ODT_LISTBOX;
  EXPECT_EQ(SendMessageA(window_, WM_MEASUREITEM, 5, reinterpret_cast<LPARAM>(&control)), 77);
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_BUTTON;
  EXPECT_EQ(SendMessageA(window_, WM_DRAWITEM, 5, reinterpret_cast<LPARAM>(&draw)), 77);
  // A menu item with item data that is not a record of ours is someone else's.
  MEASUREITEMSTRUCT foreign{};
  foreign.CtlType = ODT_MENU;
  foreign.itemData = 0x5678;
  EXPECT_EQ(SendMessageA(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&foreign)), 77);
  EXPECT_EQ(reachedOriginal.size(), 3u);
  SendMessageA(window_, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu_), 0);
}

}  // namespace
