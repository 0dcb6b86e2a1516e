// The program's top-level window: creation with a menu bar, and the blocking event
// wait that turns window messages into the three events the program acts on.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// EscapeKey: Esc was pressed while the window or one of its controls had the focus;
// CopyKey: Ctrl+C, likewise.
enum class EventKind { None, ControlNotification, MenuCommand, CloseRequest, EscapeKey, CopyKey };

struct Event {
  EventKind kind = EventKind::None;
  int id = 0;
};

struct FrameDescription {
  std::string className;
  std::string title;
  int x = 0;
  int y = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  DWORD style = 0;
  int iconResourceId = 0;
};

// id 0 with empty text stands for a separator line.
struct MenuItem {
  int id = 0;
  std::string text;
  bool IsSeparator() const { return id == 0 && text.empty(); }
};

struct MenuTitle {
  std::string title;
  std::vector<MenuItem> items;
};

struct InnerSize {
  int width = 0;
  int height = 0;
};

class FrameWindow {
 public:
  // Null when the window cannot be created. The outer size is computed from the
  // client size and the style without a menu bar; the window is shown maximised.
  static std::unique_ptr<FrameWindow> Create(HINSTANCE instance, const FrameDescription& description);

  ~FrameWindow();
  FrameWindow(const FrameWindow&) = delete;
  FrameWindow& operator=(const FrameWindow&) = delete;

  HWND Handle() const { return hwnd_; }

  // False (and no menu bar) when the bar cannot be built.
  bool AttachMenuBar(const std::vector<MenuTitle>& titles);

  // Client width, and client height plus one menu-bar line when there is a menu bar.
  InnerSize MeasureInner() const;

  // Blocks until the window reports an event; Tab and Shift+Tab are handled first, and
  // Esc and Ctrl+C become events of their own rather than keys a control sees.
  Event WaitEvent();

  // Retrieves and dispatches at most one pending message without waiting, and
  // reports the event it produced (None when nothing was pending or nothing came of it).
  Event TakeTurn();

  // Carries out work on the window's thread and returns when it is done. From
  // another thread the caller waits meanwhile: the work travels as a sent message,
  // which the window's thread serves whenever it reads its queue.
  void RunOnWindowThread(const std::function<void()>& work);

 private:
  FrameWindow() = default;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void Record(Event event);
  bool MoveFocusOnTab(const MSG& msg);
  bool ReportEscape(const MSG& msg);
  bool ReportCopy(const MSG& msg);
  void Dispatch(const MSG& msg);

  HWND hwnd_ = nullptr;
  // Events only count while the loop or a turn is waiting for them; one that a
  // modal dialog's own loop dispatches while a command runs is dropped.
  bool listening_ = false;
  std::deque<Event> events_;
};

}  // namespace platform
