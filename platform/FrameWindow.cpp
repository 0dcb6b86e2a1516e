// Window class, creation, menu bar and the event wait of the program's main window.
#include "platform/FrameWindow.h"

#include "platform/CallbackGuard.h"
#include "platform/ScopedWin.h"

#include <utility>

namespace platform {

namespace {

bool RegisterFrameClass(HINSTANCE instance, const FrameDescription& description, WNDPROC windowProc) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(description.iconResourceId));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(description.iconResourceId), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = description.className.c_str();
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<FrameWindow> FrameWindow::Create(HINSTANCE instance, const FrameDescription& description) {
  if (!RegisterFrameClass(instance, description, &FrameWindow::WindowProc)) {
    return nullptr;
  }
  RECT outer{0, 0, description.clientWidth, description.clientHeight};
  AdjustWindowRectEx(&outer, description.style, FALSE, 0);

  std::unique_ptr<FrameWindow> frame(new FrameWindow());
  HWND hwnd = CreateWindowExA(0, description.className.c_str(), description.title.c_str(), description.style,
                              description.x, description.y, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                              nullptr, instance, frame.get());
  if (hwnd == nullptr) {
    return nullptr;
  }
  ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  UpdateWindow(hwnd);
  return frame;
}

FrameWindow::~FrameWindow() {
  if (hwnd_ != nullptr) {
    DestroyWindow(hwnd_);
  }
}

bool FrameWindow::AttachMenuBar(const std::vector<MenuTitle>& titles) {
  UniqueMenu bar(CreateMenu());
  if (!bar) {
    return false;
  }
  for (const MenuTitle& title : titles) {
    UniqueMenu popup(CreatePopupMenu());
    if (!popup) {
      return false;
    }
    for (const MenuItem& item : title.items) {
      if (item.IsSeparator()) {
        AppendMenuA(popup.Get(), MF_SEPARATOR, 0, nullptr);
      } else {
        AppendMenuA(popup.Get(), MF_STRING, static_cast<UINT_PTR>(item.id), item.text.c_str());
      }
    }
    if (!AppendMenuA(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Get()), title.title.c_str())) {
      return false;
    }
    popup.Release();  // now owned by the bar
  }
  if (!SetMenu(hwnd_, bar.Get())) {
    return false;
  }
  bar.Release();  // now owned by the window, destroyed with it
  return true;
}

InnerSize FrameWindow::MeasureInner() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  InnerSize size{client.right - client.left, client.bottom - client.top};
  if (GetMenu(hwnd_) != nullptr) {
    size.height += GetSystemMetrics(SM_CYMENU);
  }
  return size;
}

Event FrameWindow::WaitEvent() {
  listening_ = true;
  while (events_.empty()) {
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // A quit message or a broken queue: nothing more can come, end like a close.
      events_.push_back({EventKind::CloseRequest, 0});
      break;
    }
    Dispatch(msg);
  }
  listening_ = false;
  Event event = events_.front();
  events_.pop_front();
  return event;
}

Event FrameWindow::TakeTurn() {
  events_.clear();
  listening_ = true;
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // keep it for the event wait
    } else {
      Dispatch(msg);
    }
  }
  listening_ = false;
  Event event = events_.empty() ? Event{} : events_.front();
  events_.clear();
  return event;
}

void FrameWindow::Dispatch(const MSG& msg) {
  if (MoveFocusOnTab(msg) || ReportEscape(msg) || ReportCopy(msg)) {
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

// IsDialogMessage is not used for Tab: it also turns Enter and Escape into commands
// IDOK (1) and IDCANCEL (2), which here are the Find BPM button and "Load Folder".
bool FrameWindow::MoveFocusOnTab(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) {
    return false;
  }
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) {
    return false;
  }
  HWND focus = GetFocus();
  HWND from = (focus != nullptr && IsChild(hwnd_, focus)) ? focus : nullptr;
  BOOL previous = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  HWND next = GetNextDlgTabItem(hwnd_, from, previous);
  if (next != nullptr) {
    SetFocus(next);
  }
  return true;
}

// Taken before translation, so no control acts on the key and no character follows.
bool FrameWindow::ReportEscape(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) {
    return false;
  }
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) {
    return false;
  }
  Record({EventKind::EscapeKey, 0});
  return true;
}

// Ctrl+C with neither Alt nor AltGr (which some layouts need for a letter); a held key's
// repeats copy nothing new, so only the first press counts. Taken before translation,
// so the list's type-to-find never sees the control character.
bool FrameWindow::ReportCopy(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != 'C') {
    return false;
  }
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) {
    return false;
  }
  if ((GetKeyState(VK_CONTROL) & 0x8000) == 0 || (GetKeyState(VK_MENU) & 0x8000) != 0) {
    return false;
  }
  const bool repeat = (msg.lParam & (static_cast<LPARAM>(1) << 30)) != 0;
  if (!repeat) {
    Record({EventKind::CopyKey, 0});
  }
  return true;
}

void FrameWindow::Record(Event event) {
  if (listening_) {
    events_.push_back(event);
  }
}

LRESULT CALLBACK FrameWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // A message whose handling fails gets the default handling instead.
  const auto handle = [&]() -> LRESULT {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      auto* created = static_cast<FrameWindow*>(create->lpCreateParams);
      created->hwnd_ = hwnd;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* frame = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (frame == nullptr) {
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return frame->OnMessage(message, wParam, lParam);
  };
  return GuardedCallback(handle, [&] { return DefWindowProcA(hwnd, message, wParam, lParam); });
}

namespace {
// Carries a pointer to a std::function<void()> in lParam.
constexpr UINT kRunWorkMessage = WM_APP + 1;
}  // namespace

void FrameWindow::RunOnWindowThread(const std::function<void()>& work) {
  if (hwnd_ != nullptr) {
    SendMessageA(hwnd_, kRunWorkMessage, 0, reinterpret_cast<LPARAM>(&work));
  }
}

LRESULT FrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunWorkMessage:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_CLOSE:
      // Only reported: the window lives until the program shuts down.
      Record({EventKind::CloseRequest, 0});
      return 0;
    case WM_NCDESTROY: {
      HWND hwnd = std::exchange(hwnd_, nullptr);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case WM_SETFOCUS:
      // Keyboard users land on the first control rather than on the bare frame.
      if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
        SetFocus(first);
      }
      return 0;
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

void FrameWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (lParam != 0) {
    if (code == BN_CLICKED) {
      Record({EventKind::ControlNotification, id});
    }
  } else if (code == 0) {
    Record({EventKind::MenuCommand, id});
  }
}

}  // namespace platform
