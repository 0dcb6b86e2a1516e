// Opens the skinned main window's drop-down menus for real, from a timer inside the
// platform's menu loop, and checks the skin's state while they are open and after.
#include "menuskin/MenuSkin.h"
#include "menuskin/ScopedGdi.h"
#include "menuskin/PopupItems.h"
#include "menuskin/SkinInstall.h"
#include "menuskin/SkinProperties.h"
#include "tests/menuskin/MainWindowForTests.h"
#include "tests/menuskin/MenuItemData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace menuskin;
using menuskintest::ItemData;
using menuskintest::MainMenu;

constexpr UINT_PTR kStepTimer = 1;
constexpr UINT kStepMs = 10;
constexpr DWORD kDeadlineMs = 60000;

struct MenuSettings {
  BOOL fade = FALSE;
  BOOL animation = FALSE;
  bool operator==(const MenuSettings&) const = default;
};

MenuSettings ReadSettings() {
  MenuSettings settings;
  SystemParametersInfoA(SPI_GETMENUFADE, 0, &settings.fade, 0);
  SystemParametersInfoA(SPI_GETMENUANIMATION, 0, &settings.animation, 0);
  settings.fade = settings.fade ? TRUE : FALSE;
  settings.animation = settings.animation ? TRUE : FALSE;
  return settings;
}

void WriteSettings(const MenuSettings& settings) {
  SystemParametersInfoA(SPI_SETMENUFADE, 0, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(settings.fade)), 0);
  SystemParametersInfoA(SPI_SETMENUANIMATION, 0, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(settings.animation)),
                        0);
}

std::vector<HWND> VisibleMenuPopups() {
  std::vector<HWND> popups;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND candidate, LPARAM found) -> BOOL {
        char className[16] = {};
        GetClassNameA(candidate, className, sizeof className);
        if (std::strcmp(className, "#32768") == 0 && IsWindowVisible(candidate)) {
          reinterpret_cast<std::vector<HWND>*>(found)->push_back(candidate);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&popups));
  return popups;
}

// What one open drop-down looked like.
struct OpenState {
  bool seen = false;
  int popupCount = 0;
  ULONG_PTR flagMenu = 0;
  MenuSettings settings;
  ULONG_PTR flagOpen = 0;
  int itemsWithRecord = 0;
  int ownerDrawnItems = 0;
  int drawnItems = 0;
};

int CountItemsWithRecord(HMENU menu, int* ownerDrawn) {
  int withRecord = 0;
  *ownerDrawn = 0;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
    if (FindMenuItemRecord(info.dwItemData)) ++withRecord;
    if (info.fType & MFT_OWNERDRAW) ++*ownerDrawn;
  }
  return withRecord;
}

enum class Phase { EnterMenuBar, OpenFile, WaitFile, WaitAbout, WaitClosed, Finished };

// Drives the menu from WM_TIMER, which the platform's menu loop dispatches while a
// menu is open.
struct MenuScript {
  HWND window = nullptr;
  MainMenu menu;
  int cycles = 1;
  bool switchToAbout = false;
  DWORD holdMs = 0;

  Phase phase = Phase::EnterMenuBar;
  int ticksInPhase = 0;
  DWORD phaseStartMs = 0;
  DWORD startMs = 0;
  bool inMenuLoop = false;
  bool timedOut = false;
  int cyclesDone = 0;

  OpenState file;
  OpenState about;
  ULONG_PTR fileFlagOpenAfterSwitch = 0;
  int fileRecordsAfterSwitch = -1;
  std::vector<std::string> routed;  // INIT/UNINIT as the window's own procedure saw them
};

MenuScript* script = nullptr;

void Enter(Phase phase) {
  script->phase = phase;
  script->ticksInPhase = 0;
  script->phaseStartMs = GetTickCount();
}

OpenState Observe(HMENU menu) {
  OpenState state;
  state.seen = true;
  std::vector<HWND> popups = VisibleMenuPopups();
  state.popupCount = static_cast<int>(popups.size());
  if (!popups.empty()) state.flagMenu = GetPropValue(popups.front(), kPropFlagMenu);
  state.settings = ReadSettings();
  state.flagOpen = GetPropValue(script->window, kPropFlagOpen);
  state.itemsWithRecord = CountItemsWithRecord(menu, &state.ownerDrawnItems);
  state.drawnItems = PopupDrawCount;
  return state;
}

bool IsOpenAndPainted(HMENU menu) {
  int ownerDrawn = 0;
  return !VisibleMenuPopups().empty() && CountItemsWithRecord(menu, &ownerDrawn) == GetMenuItemCount(menu) &&
         PopupDrawCount >= GetMenuItemCount(menu);
}

void Step() {
  MenuScript& s = *script;
  ++s.ticksInPhase;
  if (GetTickCount() - s.startMs > kDeadlineMs) {
    s.timedOut = true;
    EndMenu();
    KillTimer(s.window, kStepTimer);
    PostQuitMessage(0);
    return;
  }
  switch (s.phase) {
    case Phase::EnterMenuBar:
      PostMessageA(s.window, WM_SYSCOMMAND, SC_KEYMENU, 0);
      Enter(Phase::OpenFile);
      break;
    case Phase::OpenFile:
      // Wine may open the first drop-down straight away; otherwise the arrow key does.
      if (s.inMenuLoop && !VisibleMenuPopups().empty()) {
        Enter(Phase::WaitFile);
      } else if (s.inMenuLoop && s.ticksInPhase >= 3) {
        PostMessageA(s.window, WM_KEYDOWN, VK_DOWN, 0);
        Enter(Phase::WaitFile);
      }
      break;
    case Phase::WaitFile:
      if (!IsOpenAndPainted(s.menu.file)) break;
      if (!s.file.seen) s.file = Observe(s.menu.file);
      if (GetTickCount() - s.phaseStartMs < s.holdMs) break;
      if (s.switchToAbout) {
        PostMessageA(s.window, WM_KEYDOWN, VK_RIGHT, 0);
        Enter(Phase::WaitAbout);
      } else {
        EndMenu();
        Enter(Phase::WaitClosed);
      }
      break;
    case Phase::WaitAbout:
      if (!IsOpenAndPainted(s.menu.about)) break;
      s.about = Observe(s.menu.about);
      s.fileRecordsAfterSwitch = CountItemsWithRecord(s.menu.file, &s.about.ownerDrawnItems);
      EndMenu();
      Enter(Phase::WaitClosed);
      break;
    case Phase::WaitClosed:
      if (s.inMenuLoop || !VisibleMenuPopups().empty()) break;
      if (++s.cyclesDone < s.cycles) {
        Enter(Phase::EnterMenuBar);
      } else {
        Enter(Phase::Finished);
        KillTimer(s.window, kStepTimer);
        PostQuitMessage(0);
      }
      break;
    case Phase::Finished:
      break;
  }
}

void ObserveMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!script) return;
  switch (message) {
    case WM_TIMER:
      if (wParam == kStepTimer) Step();
      break;
    case WM_ENTERMENULOOP:
      script->inMenuLoop = true;
      break;
    case WM_EXITMENULOOP:
      script->inMenuLoop = false;
      break;
    case WM_INITMENUPOPUP:
    case WM_UNINITMENUPOPUP: {
      std::string name = message == WM_INITMENUPOPUP ? "init " : "uninit ";
      auto menu = reinterpret_cast<HMENU>(wParam);
      name += menu == script->menu.file ? "File" : menu == script->menu.about ? "About" : "other";
      if (HIWORD(lParam)) name += " (window menu)";
      script->routed.push_back(name);
      break;
    }
    default:
      break;
  }
}

// One main window per run: skin installed first, then the menu bar, as at start-up.
bool sawNcDestroy = false;
ULONG_PTR propertiesLeftAtNcDestroy = 1;

void WatchDestruction(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_NCDESTROY) return;
  // The window's own procedure still sees its last message, with the skin gone.
  sawNcDestroy = true;
  propertiesLeftAtNcDestroy = GetPropValue(window, kPropFlagOpen) + GetPropValue(window, kPropFlagWidth) +
                              GetPropValue(window, kPropWindowProc);
}

class LiveMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSettings_ = ReadSettings();
    window_ = menuskintest::CreateMainWindow();
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(InstallMenuSkin(window_), 1);
    script_.window = window_;
    script_.menu = menuskintest::AttachMainMenu(window_);
    ASSERT_NE(script_.menu.bar, nullptr);
  }

  void TearDown() override {
    menuskintest::SetMessageObserver(nullptr);
    script = nullptr;
    if (window_) DestroyWindow(window_);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    WriteSettings(savedSettings_);
  }

  void Run() {
    script = &script_;
    menuskintest::SetMessageObserver(&ObserveMessage);
    script_.startMs = GetTickCount();
    SetTimer(window_, kStepTimer, kStepMs, nullptr);
    menuskintest::RunMessageLoop();
    ASSERT_FALSE(script_.timedOut) << "the menu did not open and close in time";
  }

  HWND window_ = nullptr;
  MenuScript script_;
  MenuSettings savedSettings_;
};

TEST_F(LiveMenu, InstallationStoresProcedureAndHook) {
  EXPECT_NE(GetPropValue(window_, kPropWindowProc), 0u);
  EXPECT_NE(GetPropValue(window_, kPropWindowHook), 0u);
  EXPECT_EQ(GetWindowLongPtrA(window_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&MenuSkinWindowProc));
  // The bar attached after installation keeps the platform's drawing.
  int ownerDrawn = 0;
  EXPECT_EQ(CountItemsWithRecord(script_.menu.bar, &ownerDrawn), 0);
  EXPECT_EQ(ownerDrawn, 0);
}

TEST_F(LiveMenu, SecondInstallationKeepsOneSubclass) {
  ULONG_PTR stored = GetPropValue(window_, kPropWindowProc);
  EXPECT_EQ(InstallMenuSkin(window_), 1);
  EXPECT_EQ(GetPropValue(window_, kPropWindowProc), stored);
  // Would recurse without end if the skin had stored itself as the procedure to call.
  EXPECT_EQ(SendMessageA(window_, WM_NULL, 0, 0), 0);
}

TEST_F(LiveMenu, OfficeMenuHookRefusesInstallation) {
  HWND other = menuskintest::CreateMainWindow();
  ASSERT_NE(other, nullptr);
  LONG_PTR procedure = GetWindowLongPtrA(other, GWLP_WNDPROC);
  SetPropA(other, kPropOfficeMenuHook, reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(InstallMenuSkin(other), 0);
  EXPECT_EQ(GetWindowLongPtrA(other, GWLP_WNDPROC), procedure);
  EXPECT_EQ(GetPropValue(other, kPropWindowProc), 0u);
  RemovePropA(other, kPropOfficeMenuHook);
  DestroyWindow(other);
}

TEST_F(LiveMenu, DestroyingTheWindowRemovesItsProperties) {
  LONG_PTR original = static_cast<LONG_PTR>(GetPropValue(window_, kPropWindowProc));
  SetPropValue(window_, kPropFlagOpen, 1);
  SetPropValue(window_, kPropFlagWidth, 30);
  menuskintest::SetMessageObserver(&WatchDestruction);
  EXPECT_NE(original, 0);
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_TRUE(sawNcDestroy);
  EXPECT_EQ(propertiesLeftAtNcDestroy, 0u);
}

struct EffectsCase {
  const char* name;
  MenuSettings before;
};

class LiveMenuEffects : public LiveMenu, public ::testing::WithParamInterface<EffectsCase> {};

TEST_P(LiveMenuEffects, FileDropDownIsSkinnedWhileOpenAndRestoredAfter) {
  const MenuSettings before = GetParam().before;
  WriteSettings(before);
  ASSERT_EQ(ReadSettings(), before) << "the platform does not keep the menu effect settings";
  script_.switchToAbout = true;
  const char* hold = std::getenv("TEMPOSCOUT_MENU_HOLD_MS");
  if (hold) script_.holdMs = static_cast<DWORD>(std::atoi(hold));
  ASSERT_NO_FATAL_FAILURE(Run());

  const OpenState& file = script_.file;
  ASSERT_TRUE(file.seen);
  EXPECT_EQ(file.popupCount, 1);
  EXPECT_EQ(file.flagMenu, 1u);
  EXPECT_EQ(file.settings, (MenuSettings{FALSE, FALSE}));
  EXPECT_EQ(file.flagOpen, 1u);
  EXPECT_EQ(file.itemsWithRecord, 8);
  EXPECT_GE(file.drawnItems, 8);

  const OpenState& about = script_.about;
  ASSERT_TRUE(about.seen);
  EXPECT_EQ(about.flagOpen, 1u);
  EXPECT_EQ(about.itemsWithRecord, 1);
  EXPECT_EQ(about.settings, (MenuSettings{FALSE, FALSE}));
  EXPECT_EQ(script_.fileRecordsAfterSwitch, 0);

  EXPECT_EQ(ReadSettings(), before);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagWidth), 0u);
  EXPECT_EQ(LiveMenuItemRecordCount(), 0u);
  for (int position = 0; position < 8; ++position) EXPECT_EQ(ItemData(script_.menu.file, position), 0u);

  std::vector<std::string> expected{"init File", "uninit File", "init About", "uninit About"};
  EXPECT_EQ(script_.routed, expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, LiveMenuEffects,
                         ::testing::Values(EffectsCase{"BothOn", {TRUE, TRUE}}, EffectsCase{"BothOff", {FALSE, FALSE}},
                                           EffectsCase{"FadeOnly", {TRUE, FALSE}},
                                           EffectsCase{"AnimationOnly", {FALSE, TRUE}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(LiveMenu, ItemDataBeforeTheSkinComesBackAtClosing) {
  HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_INFORMATION));
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  info.dwItemData = reinterpret_cast<ULONG_PTR>(icon);
  ASSERT_TRUE(SetMenuItemInfoA(script_.menu.about, 0, TRUE, &info));
  script_.switchToAbout = true;
  ASSERT_NO_FATAL_FAILURE(Run());
  EXPECT_EQ(ItemData(script_.menu.about, 0), reinterpret_cast<ULONG_PTR>(icon));
}

TEST_F(LiveMenu, HundredOpeningsLeakNoGdiObjectsAndNoRecords) {
  script_.cycles = 1;
  ASSERT_NO_FATAL_FAILURE(Run());
  DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  int scopedBefore = LiveScopedGdiCount();

  script_.cycles = 100;
  script_.cyclesDone = 0;
  Enter(Phase::EnterMenuBar);
  ASSERT_NO_FATAL_FAILURE(Run());
  EXPECT_EQ(script_.cyclesDone, 100);
  EXPECT_EQ(LiveScopedGdiCount(), scopedBefore);
  EXPECT_EQ(LiveMenuItemRecordCount(), 0u);
  EXPECT_EQ(GetPropValue(window_, kPropFlagOpen), 0u);
  DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  // Wine's GetGuiResources is a stub that answers 0; there the scoped owners'
  // count above is the only measure.
  if (gdiBefore != 0 || gdiAfter != 0) {
    EXPECT_EQ(gdiAfter, gdiBefore);
  }
}

}  // namespace
