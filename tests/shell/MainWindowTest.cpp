// The main window as start-up leaves it: title, styles, class, menu bar, controls,
// layout, columns and fonts.
#include "ShellFixture.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

namespace {

using shell_test::ShellFixture;

class MainWindow : public ShellFixture {
 protected:
  HWND Window() const { return shell_->window->Handle(); }

  // W and H: client width, and client height plus one menu-bar line.
  void InnerSize(int& w, int& h) const {
    RECT client{};
    GetClientRect(Window(), &client);
    w = client.right;
    h = client.bottom + GetSystemMetrics(SM_CYMENU);
  }

  std::map<int, HWND> ChildrenById() const {
    std::map<int, HWND> children;
    for (HWND child = GetWindow(Window(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      children[GetDlgCtrlID(child)] = child;
    }
    return children;
  }
};

TEST_F(MainWindow, TitleHasTwoBlanksBeforeTheVersion) {
  char title[64] = {};
  GetWindowTextA(Window(), title, sizeof title);
  EXPECT_STREQ(title, "TempoScout FREEWARE  v0.1");
}

TEST_F(MainWindow, StylesAreCaptionSystemMenuMaximiseBoxAndMaximisedOnly) {
  const LONG_PTR style = GetWindowLongPtrA(Window(), GWL_STYLE);
  // Windows itself adds WS_CLIPSIBLINGS to every top-level window, and showing it adds WS_VISIBLE.
  EXPECT_EQ(style & ~static_cast<LONG_PTR>(WS_VISIBLE | WS_CLIPSIBLINGS),
            static_cast<LONG_PTR>(WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MAXIMIZE));
  EXPECT_TRUE(IsWindowVisible(Window()));
  EXPECT_TRUE(IsZoomed(Window()));
}

TEST_F(MainWindow, RestoredFrameIsAt100And150WithA450By200ClientLessTheMenuBar) {
  ShowWindow(Window(), SW_RESTORE);
  RECT frame{};
  GetWindowRect(Window(), &frame);
  EXPECT_EQ(frame.left, 100);
  EXPECT_EQ(frame.top, 150);
  RECT client{};
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, 450);
  // The outer size was computed without a menu bar, so the bar takes its height
  // from the client area.
  EXPECT_EQ(client.bottom, 200 - GetSystemMetrics(SM_CYMENU));
}

TEST_F(MainWindow, ClassHasIconArrowButtonFaceAndDoubleClicks) {
  EXPECT_TRUE(GetClassLongPtrA(Window(), GCL_STYLE) & CS_DBLCLKS);
  EXPECT_EQ(GetClassLongPtrA(Window(), GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(Window(), GCLP_HCURSOR)),
            LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
  EXPECT_NE(GetClassLongPtrA(Window(), GCLP_HICON), 0u);
}

TEST_F(MainWindow, IconGroupOneHoldsFourImages) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(found, nullptr);
  const auto* directory = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory[1], 1) << "resource type: icon";
  EXPECT_EQ(directory[2], 4) << "image count";
}

struct ExpectedItem {
  UINT id;
  const char* text;  // nullptr for a separator
};

TEST_F(MainWindow, MenuBarMatchesTheTableWithoutAccessKeys) {
  const std::vector<std::pair<std::string, std::vector<ExpectedItem>>> expected{
      {"File",
       {{1, "Load File"},
        {2, "Load Folder"},
        {3, "Load Folder Recursive"},
        {0, nullptr},
        {4, "Goto WebPage"},
        {5, "Zarivuriz, Izar ovu Deduvedu"},
        {0, nullptr},
        {6, "Quit"}}},
      {"About", {{7, "Help"}}},
  };
  HMENU bar = GetMenu(Window());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), static_cast<int>(expected.size()));
  for (size_t t = 0; t < expected.size(); ++t) {
    char title[64] = {};
    GetMenuStringA(bar, static_cast<UINT>(t), title, sizeof title, MF_BYPOSITION);
    EXPECT_EQ(title, expected[t].first);
    HMENU popup = GetSubMenu(bar, static_cast<int>(t));
    ASSERT_NE(popup, nullptr);
    const auto& items = expected[t].second;
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
      char text[64] = {};
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
      info.dwTypeData = text;
      info.cch = sizeof text;
      ASSERT_TRUE(GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &info));
      if (items[i].text == nullptr) {
        EXPECT_TRUE(info.fType & MFT_SEPARATOR) << expected[t].first << " item " << i;
      } else {
        EXPECT_FALSE(info.fType & MFT_SEPARATOR);
        EXPECT_EQ(info.wID, items[i].id);
        EXPECT_STREQ(text, items[i].text);
      }
    }
  }
}

struct ExpectedControl {
  int id;
  const char* className;
};

TEST_F(MainWindow, FourControlsWithTheirClassesRectanglesAndFont) {
  int w = 0;
  int h = 0;
  InnerSize(w, h);
  // (x, y, width, height) by the layout formulas, worked out here from W and H.
  const std::map<int, RECT> expectedRects{
      {0, {10, 10, 10 + (w - 20), 10 + (h - 80)}},
      {1, {w - 200, h - 60, w - 100, h - 35}},
      {3, {w - 500, h - 60, w - 300, h - 35}},
      {4, {w - 800, h - 60, w - 625, h - 35}},
  };
  const std::map<int, std::string> expectedClasses{
      {0, "SysListView32"}, {1, "Button"}, {3, "msctls_progress32"}, {4, "Static"}};

  const std::map<int, HWND> children = ChildrenById();
  ASSERT_EQ(children.size(), 4u);
  for (const auto& [id, className] : expectedClasses) {
    SCOPED_TRACE("control " + std::to_string(id));
    ASSERT_EQ(children.count(id), 1u);
    HWND control = children.at(id);
    char cls[64] = {};
    GetClassNameA(control, cls, sizeof cls);
    EXPECT_STRCASEEQ(cls, className.c_str());
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
    const RECT& want = expectedRects.at(id);
    EXPECT_EQ(rect.left, want.left);
    EXPECT_EQ(rect.top, want.top);
    EXPECT_EQ(rect.right, want.right);
    EXPECT_EQ(rect.bottom, want.bottom);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
  }
}

TEST_F(MainWindow, ControlsHaveTheirStylesTextsAndRange) {
  const std::map<int, HWND> children = ChildrenById();
  HWND list = children.at(0);
  const LONG_PTR listStyle = GetWindowLongPtrA(list, GWL_STYLE);
  EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(listStyle & LVS_SINGLESEL);
  EXPECT_TRUE(listStyle & WS_TABSTOP);
  EXPECT_TRUE(GetWindowLongPtrA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  const auto extended = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(extended & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
            static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));

  char text[32] = {};
  GetWindowTextA(children.at(1), text, sizeof text);
  EXPECT_STREQ(text, "Find BPM");
  EXPECT_TRUE(GetWindowLongPtrA(children.at(1), GWL_STYLE) & WS_TABSTOP);
  GetWindowTextA(children.at(4), text, sizeof text);
  EXPECT_STREQ(text, "");

  PBRANGE range{};
  SendMessageA(children.at(3), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
}

TEST_F(MainWindow, ColumnsHaveHeadersOrderWidthsAndSubItems) {
  int w = 0;
  int h = 0;
  InnerSize(w, h);
  struct Column {
    const char* header;
    int width;
  };
  const Column expected[] = {{"File", (w / 8) * 6}, {"BPM (Primary)", w / 8}, {"BPM (Alternative)", w / 8}};

  HWND list = shell_->trackList;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  ASSERT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    char text[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, expected[i].header);
    EXPECT_EQ(column.cx, expected[i].width);
    // The tempo values are written by sub-item 1 and 2; each must show in its own column.
    EXPECT_EQ(column.iSubItem, i);
  }
  int order[3] = {-1, -1, -1};
  ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order)));
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(order[1], 1);
  EXPECT_EQ(order[2], 2);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(header, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
}

TEST_F(MainWindow, ColumnsAreWiderThanTheListSoItScrollsSideways) {
  int w = 0;
  int h = 0;
  InnerSize(w, h);
  ASSERT_GT(8 * (w / 8), w - 20);
  EXPECT_TRUE(GetWindowLongPtrA(shell_->trackList, GWL_STYLE) & WS_HSCROLL);
}

}  // namespace
