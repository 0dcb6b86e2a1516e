// A top-level window shaped like the program's main window, with its menu bar, for
// the menu skin's tests.
#pragma once

#include <windows.h>

namespace menuskintest {

inline constexpr char kMainWindowTitle[] = "TempoScout FREEWARE  v0.1";

// The window procedure the skin finds at installation; tests may hook into it.
using MessageObserver = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetMessageObserver(MessageObserver observer);

// Opens the window maximised, without a menu bar.
HWND CreateMainWindow();

// "File" and "About" with their items, attached to the window.
struct MainMenu {
  HMENU bar = nullptr;
  HMENU file = nullptr;
  HMENU about = nullptr;
};
MainMenu AttachMainMenu(HWND window);

// Runs the window's messages until WM_QUIT.
void RunMessageLoop();

}  // namespace menuskintest
