// A top-level window shaped like the program's main window, with its menu bar.
#include "tests/menuskin/MainWindowForTests.h"

namespace menuskintest {
namespace {

MessageObserver currentObserver = nullptr;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (currentObserver) currentObserver(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

const char* RegisterMainClass() {
  static const char kClassName[] = "TempoScoutMenuSkinTestWindow";
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    registered = RegisterClassExA(&windowClass) != 0;
  }
  return kClassName;
}

}  // namespace

void SetMessageObserver(MessageObserver observer) {
  currentObserver = observer;
}

HWND CreateMainWindow() {
  constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MAXIMIZE;
  RECT frame{0, 0, 450, 200};
  AdjustWindowRect(&frame, kStyle, FALSE);
  HWND window = CreateWindowExA(0, RegisterMainClass(), kMainWindowTitle, kStyle, 100, 150, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) {
    ShowWindow(window, SW_SHOWMAXIMIZED);
    UpdateWindow(window);
    SetForegroundWindow(window);
  }
  return window;
}

MainMenu AttachMainMenu(HWND window) {
  MainMenu menu;
  menu.bar = CreateMenu();
  menu.file = CreatePopupMenu();
  menu.about = CreatePopupMenu();
  AppendMenuA(menu.file, MF_STRING, 1, "Load File");
  AppendMenuA(menu.file, MF_STRING, 2, "Load Folder");
  AppendMenuA(menu.file, MF_STRING, 3, "Load Folder Recursive");
  AppendMenuA(menu.file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu.file, MF_STRING, 4, "Goto WebPage");
  AppendMenuA(menu.file, MF_STRING, 5, "Zarivuriz, Izar ovu Deduvedu");
  AppendMenuA(menu.file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu.file, MF_STRING, 6, "Quit");
  AppendMenuA(menu.about, MF_STRING, 7, "Help");
  AppendMenuA(menu.bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu.file), "File");
  AppendMenuA(menu.bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu.about), "About");
  SetMenu(window, menu.bar);
  DrawMenuBar(window);
  return menu;
}

void RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace menuskintest
