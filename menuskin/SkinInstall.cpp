// Installing the skin on a window and routing the messages that drive it: the
// skinned window's procedure, the thread hook that catches menu popup windows, and
// the procedure those popup windows get.
#include "menuskin/ItemDrawing.h"
#include "menuskin/MenuSkin.h"
#include "menuskin/PopupFrame.h"
#include "menuskin/PopupItems.h"
#include "menuskin/SkinInstall.h"
#include "menuskin/SkinProperties.h"
#include "platform/CallbackGuard.h"

#include <cstring>

namespace menuskin {
namespace {

// The platform's class atom of menu popup windows, and its name.
constexpr ULONG_PTR kPopupMenuClassAtom = 0x8000;
constexpr char kPopupMenuClassName[] = "#32768";

// One hook serves every skinned window of the thread; a second installation reuses
// it rather than chaining a second copy that would subclass each popup twice.
HHOOK watchHook = nullptr;
DWORD watchHookThread = 0;

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto stored = reinterpret_cast<WNDPROC>(GetPropValue(window, kPropWindowProc));
  return stored ? CallWindowProcA(stored, window, message, wParam, lParam) : 0;
}

bool IsCurrentProc(HWND window, WNDPROC proc) {
  return GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(proc);
}

// Puts the stored procedure back once the window is being destroyed, so that
// WM_NCDESTROY and anything after it still reach the window's own procedure.
// When another layer subclassed on top of us, the chain is left alone and the stored
// procedure stays until WM_NCDESTROY has been passed through.
void RestoreStoredProc(HWND window, WNDPROC ours) {
  if (!IsCurrentProc(window, ours)) return;
  if (ULONG_PTR stored = GetPropValue(window, kPropWindowProc)) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, static_cast<LONG_PTR>(stored));
  }
  RemovePropA(window, kPropWindowProc);
}

BOOL ReadMenuSetting(UINT action) {
  BOOL on = FALSE;
  if (!SystemParametersInfoA(action, 0, &on, 0)) on = FALSE;
  return on ? TRUE : FALSE;
}

// Update flags 0: the value lives for this session only, never in the user profile,
// and no WM_SETTINGCHANGE is broadcast.
void WriteMenuSetting(UINT action, BOOL on) {
  SystemParametersInfoA(action, 0, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(on)), 0);
}

bool IsPopupMenuCreation(const CWPSTRUCT& call) {
  auto* create = reinterpret_cast<const CREATESTRUCTA*>(call.lParam);
  if (create && reinterpret_cast<ULONG_PTR>(create->lpszClass) == kPopupMenuClassAtom) return true;
  // Wine hands the class over as a name rather than as the bare atom.
  char className[16] = {};
  GetClassNameA(call.hwnd, className, sizeof className);
  return std::strcmp(className, kPopupMenuClassName) == 0;
}

void OnPopupCreated(HWND popup) {
  if (GetPropValue(popup, kPropFlagMenu)) return;
  SetPropValue(popup, kPropFlagMenu, 1);
  LONG_PTR previous = SetWindowLongPtrA(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PopupMenuProc));
  SetPropValue(popup, kPropWindowProc, static_cast<ULONG_PTR>(previous));

  BOOL fade = ReadMenuSetting(SPI_GETMENUFADE);
  BOOL animation = ReadMenuSetting(SPI_GETMENUANIMATION);
  SetPropValue(popup, kPropMenuFade, static_cast<ULONG_PTR>(fade));
  SetPropValue(popup, kPropMenuAnim, static_cast<ULONG_PTR>(animation));
  // A fading or sliding popup would show the platform's frame while it moves in.
  if (fade) WriteMenuSetting(SPI_SETMENUFADE, FALSE);
  if (animation) WriteMenuSetting(SPI_SETMENUANIMATION, FALSE);
}

// Popup windows are destroyed innermost first, so the outermost one writes back what
// the user had.
void OnPopupDestroyed(HWND popup) {
  RemovePropA(popup, kPropFlagMenu);
  WriteMenuSetting(SPI_SETMENUFADE, static_cast<BOOL>(GetPropValue(popup, kPropMenuFade)));
  WriteMenuSetting(SPI_SETMENUANIMATION, static_cast<BOOL>(GetPropValue(popup, kPropMenuAnim)));
  RemovePropA(popup, kPropMenuFade);
  RemovePropA(popup, kPropMenuAnim);
}

// Owner-draw messages for items that are not ours (a control, or a menu item another
// layer draws itself) go to the stored procedure.
bool IsOurMenuItem(UINT controlType, ULONG_PTR itemData) {
  return controlType == ODT_MENU && FindMenuItemRecord(itemData) != nullptr;
}

}  // namespace

namespace {

LRESULT OnSkinnedWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITMENUPOPUP:
      if (HIWORD(lParam) == 0) {
        SkinPopupItems(reinterpret_cast<HMENU>(wParam));
        SetPropValue(window, kPropFlagOpen, GetPropValue(window, kPropFlagOpen) + 1);
      }
      break;
    case WM_UNINITMENUPOPUP:
      if (HIWORD(lParam) == 0) {
        UnskinPopupItems(reinterpret_cast<HMENU>(wParam));
        ULONG_PTR open = GetPropValue(window, kPropFlagOpen);
        // A closing the count never saw (a menu opened before installation)
        // must not wrap the count around.
        if (open > 0) --open;
        SetPropValue(window, kPropFlagOpen, open);
        if (open == 0) SetPropValue(window, kPropFlagWidth, 0);
      }
      break;
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure && IsOurMenuItem(measure->CtlType, measure->itemData)) {
        MeasureMenuItem(window, measure);
        return 1;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (draw && IsOurMenuItem(draw->CtlType, draw->itemData)) {
        DrawMenuItem(window, draw);
        return 1;
      }
      break;
    }
    case WM_DESTROY: {
      LRESULT result = PassOn(window, message, wParam, lParam);
      RemovePropA(window, kPropFlagWidth);
      RemovePropA(window, kPropFlagOpen);
      RestoreStoredProc(window, &MenuSkinWindowProc);
      return result;
    }
    case WM_NCDESTROY: {
      LRESULT result = PassOn(window, message, wParam, lParam);
      RemovePropA(window, kPropWindowProc);
      return result;
    }
    default:
      break;
  }
  return PassOn(window, message, wParam, lParam);
}

LRESULT OnWatchedCall(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && lParam) {
    const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call.message == WM_CREATE && IsPopupMenuCreation(call)) {
      OnPopupCreated(call.hwnd);
    } else if (call.message == WM_DESTROY && GetPropValue(call.hwnd, kPropFlagMenu)) {
      OnPopupDestroyed(call.hwnd);
    }
  }
  return CallNextHookEx(watchHook, code, wParam, lParam);
}

LRESULT OnPopupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  bool skinned = message == WM_PAINT && IsSkinnablePopup(window);
  if (skinned) {
    DrawPopupFrame(window);
    InvalidateRect(window, nullptr, FALSE);
  }
  LRESULT result = PassOn(window, message, wParam, lParam);
  if (skinned && PopupPaintsItsOwnBorder(window)) RedrawFrameAroundItems(window);
  if (message == WM_DESTROY) RestoreStoredProc(window, &PopupMenuProc);
  if (message == WM_NCDESTROY) RemovePropA(window, kPropWindowProc);
  return result;
}

}  // namespace

// The system calls these from its own C frames: a message whose handling fails goes on
// to the window's own procedure (or the next hook) as if the skin were not there.
LRESULT CALLBACK MenuSkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return platform::GuardedCallback([&] { return OnSkinnedWindowMessage(window, message, wParam, lParam); },
                                   [&] { return PassOn(window, message, wParam, lParam); });
}

LRESULT CALLBACK MenuWatchHook(int code, WPARAM wParam, LPARAM lParam) {
  return platform::GuardedCallback([&] { return OnWatchedCall(code, wParam, lParam); },
                                   [&] { return CallNextHookEx(watchHook, code, wParam, lParam); });
}

LRESULT CALLBACK PopupMenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return platform::GuardedCallback([&] { return OnPopupMessage(window, message, wParam, lParam); },
                                   [&] { return PassOn(window, message, wParam, lParam); });
}

}  // namespace menuskin

int InstallMenuSkin(HWND window) {
  using namespace menuskin;
  if (!IsWindow(window)) return 0;
  if (GetPropValue(window, kPropOfficeMenuHook)) return 0;
  // Subclassing twice would store our own procedure as the one to pass on to, and
  // every message would then loop back into it.
  if (IsCurrentProc(window, &MenuSkinWindowProc) || GetPropValue(window, kPropWindowProc)) return 1;

  LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuSkinWindowProc));
  SetPropValue(window, kPropWindowProc, static_cast<ULONG_PTR>(previous));

  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!watchHook || watchHookThread != thread) {
    watchHook = SetWindowsHookExA(WH_CALLWNDPROC, &MenuWatchHook, nullptr, thread);
    watchHookThread = thread;
  }
  SetPropValue(window, kPropWindowHook, reinterpret_cast<ULONG_PTR>(watchHook));

  HMENU bar = GetMenu(window);
  if (bar) {
    int count = GetMenuItemCount(bar);
    for (int position = 0; position < count; ++position) {
      char text[256] = {};
      GetMenuStringA(bar, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
      MenuItemRecord* record = NewMenuItemRecord();
      if (!record) continue;
      record->Menu = bar;
      record->IsBar = true;
      record->Text = text;
      // Setting only the type and item data keeps the item's drop-down menu,
      // which a ModifyMenu without MF_POPUP would not promise.
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_DATA;
      info.fType = MFT_OWNERDRAW;
      info.dwItemData = reinterpret_cast<ULONG_PTR>(record);
      if (!SetMenuItemInfoA(bar, static_cast<UINT>(position), TRUE, &info)) FreeMenuItemRecord(record);
    }
    DrawMenuBar(window);
  }
  return 1;
}
