// Turning the items of a drop-down menu into owner-drawn items while it is open,
// turning them back when it closes, and answering the platform's size questions.
#include "menuskin/PopupItems.h"
#include "menuskin/ScopedGdi.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace menuskin {

int PopupDrawCount = 0;

namespace {

std::vector<std::unique_ptr<MenuItemRecord>>& LiveRecords() {
  static std::vector<std::unique_ptr<MenuItemRecord>> records;
  return records;
}

constexpr int kItemTextLimit = 255;
constexpr int kPopupExtraWidth = 44;
constexpr int kPopupItemHeight = 22;
constexpr int kBarExtraWidth = 4;
constexpr int kSeparatorWidth = 24;
constexpr int kSeparatorHeight = 5;

// The pre-Vista size of NONCLIENTMETRICSA, which every version accepts.
constexpr UINT kNonClientMetricsSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);

ULONG_PTR ReadItemData(HMENU menu, int position) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) return 0;
  return info.dwItemData;
}

bool WriteItemData(HMENU menu, int position, UINT mask, ULONG_PTR data) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.fType = MFT_OWNERDRAW;
  info.dwItemData = data;
  return SetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info) != FALSE;
}

}  // namespace

MenuItemRecord* NewMenuItemRecord() {
  auto record = std::unique_ptr<MenuItemRecord>(new (std::nothrow) MenuItemRecord{});
  if (!record) return nullptr;
  try {
    LiveRecords().push_back(std::move(record));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return LiveRecords().back().get();
}

void FreeMenuItemRecord(MenuItemRecord* record) {
  auto& records = LiveRecords();
  auto found =
      std::find_if(records.begin(), records.end(), [record](const auto& owned) { return owned.get() == record; });
  if (found != records.end()) records.erase(found);
}

MenuItemRecord* FindMenuItemRecord(ULONG_PTR itemData) {
  if (!itemData) return nullptr;
  for (const auto& owned : LiveRecords()) {
    if (reinterpret_cast<ULONG_PTR>(owned.get()) == itemData) return owned.get();
  }
  return nullptr;
}

std::size_t LiveMenuItemRecordCount() {
  return LiveRecords().size();
}

void SkinPopupItems(HMENU menu) {
  PopupDrawCount = 0;
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    ULONG_PTR previous = ReadItemData(menu, position);
    // Opened again without a closing in between: the item is already ours, and
    // wrapping the record in a second one would lose the first.
    if (FindMenuItemRecord(previous)) continue;
    MenuItemRecord* record = NewMenuItemRecord();
    if (!record) continue;
    record->Menu = menu;
    record->Icon = previous;
    // Only the type and item data change: the item keeps its text, submenu,
    // identifier and state, and a separator becomes an owner-drawn item without
    // text.
    if (!WriteItemData(menu, position, MIIM_FTYPE | MIIM_DATA, reinterpret_cast<ULONG_PTR>(record))) {
      FreeMenuItemRecord(record);
    }
  }
}

void UnskinPopupItems(HMENU menu) {
  PopupDrawCount = 0;
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MenuItemRecord* record = FindMenuItemRecord(ReadItemData(menu, position));
    if (!record || record->IsBar) continue;
    WriteItemData(menu, position, MIIM_DATA, record->Icon);
    FreeMenuItemRecord(record);
  }
}

std::string MenuItemText(const MenuItemRecord& record, UINT itemId) {
  if (record.IsBar) return record.Text;
  char text[kItemTextLimit + 1] = {};
  int length = GetMenuStringA(record.Menu, itemId, text, kItemTextLimit, MF_BYCOMMAND);
  if (length <= 0) return {};
  return std::string(text, static_cast<std::size_t>(std::min(length, kItemTextLimit)));
}

HFONT CreateMenuFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = kNonClientMetricsSize;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0)) {
    metrics = NONCLIENTMETRICSA{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  }
  return CreateFontIndirectA(&metrics.lfMenuFont);
}

void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure) {
  if (!measure || measure->CtlType != ODT_MENU) return;
  const MenuItemRecord* record = FindMenuItemRecord(measure->itemData);
  if (!record) return;
  WindowDc dc(window);
  if (!dc) return;

  std::string text = MenuItemText(*record, measure->itemID);
  if (text.empty()) {
    measure->itemWidth = kSeparatorWidth;
    measure->itemHeight = kSeparatorHeight;
    return;
  }
  UniqueFont font(CreateMenuFont());
  SelectGuard selectFont(dc.Get(), font.Get());
  // The whole text, tab and shortcut included: the tab counts as one character.
  SIZE extent{};
  GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
  if (record->IsBar) {
    measure->itemWidth = static_cast<UINT>(extent.cx + kBarExtraWidth);
    measure->itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU));
  } else {
    measure->itemWidth = static_cast<UINT>(extent.cx + kPopupExtraWidth);
    measure->itemHeight = kPopupItemHeight;
  }
}

}  // namespace menuskin
