// The procedures that route messages to the skin: the skinned window's procedure, the
// thread hook that catches menu popup windows, and the procedure those popups get.
#pragma once

#include <windows.h>

namespace menuskin {

LRESULT CALLBACK MenuSkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MenuWatchHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PopupMenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace menuskin
