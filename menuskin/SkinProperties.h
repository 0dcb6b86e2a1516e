// The window properties through which the parts of the menu skin keep their state on
// the skinned window and on each menu popup window, and reading and writing them.
#pragma once

#include <windows.h>

namespace menuskin {

inline constexpr char kPropWindowProc[] = "WindowProc";
inline constexpr char kPropWindowHook[] = "WindowHook";
inline constexpr char kPropOfficeMenuHook[] = "OfficeMenuHook";
inline constexpr char kPropFlagOpen[] = "FlagOpen";
inline constexpr char kPropFlagWidth[] = "FlagWidth";
inline constexpr char kPropFlagMenu[] = "FlagMenu";
inline constexpr char kPropMenuFade[] = "MenuFade";
inline constexpr char kPropMenuAnim[] = "MenuAnim";

// Property values are pointer-sized on x86-64.
inline ULONG_PTR GetPropValue(HWND window, const char* name) {
  return reinterpret_cast<ULONG_PTR>(GetPropA(window, name));
}
inline void SetPropValue(HWND window, const char* name, ULONG_PTR value) {
  SetPropA(window, name, reinterpret_cast<HANDLE>(value));
}

}  // namespace menuskin
