// The frame window's event wait: which messages become events, which are dropped,
// and the single non-blocking turn.
#include "platform/FrameWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using platform::Event;
using platform::EventKind;

class FrameWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::FrameDescription description;
    description.className = "FrameWindowTest";
    description.title = "Frame window test";
    description.x = 100;
    description.y = 150;
    description.clientWidth = 450;
    description.clientHeight = 200;
    description.style = WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MAXIMIZE;
    frame_ = platform::FrameWindow::Create(GetModuleHandleA(nullptr), description);
    ASSERT_NE(frame_, nullptr);
    DrainQueue();
  }

  void DrainQueue() {
    while (frame_->TakeTurn().kind != EventKind::None || HasMessage()) {
    }
  }

  static bool HasMessage() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
  }

  HWND Button(int id, int x) {
    return CreateWindowExA(0, "Button", "b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, 0, 50, 20, frame_->Handle(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  }

  // Posts WM_COMMAND to the frame as a menu (no control) or a control notifying its parent would.
  void PostCommand(int id, WORD code = 0, HWND control = nullptr) {
    PostMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  }

  // Waits for the next event and checks its kind and id.
  void ExpectNextEvent(EventKind kind, int id) {
    const Event event = frame_->WaitEvent();
    EXPECT_EQ(event.kind, kind);
    EXPECT_EQ(event.id, id);
  }

  std::unique_ptr<platform::FrameWindow> frame_;
};

TEST_F(FrameWindowTest, PostedMessagesBecomeTheThreeEventKinds) {
  HWND button = Button(1, 0);
  PostCommand(5);
  PostCommand(1, BN_CLICKED, button);
  PostMessageA(frame_->Handle(), WM_CLOSE, 0, 0);

  ExpectNextEvent(EventKind::MenuCommand, 5);
  ExpectNextEvent(EventKind::ControlNotification, 1);
  EXPECT_EQ(frame_->WaitEvent().kind, EventKind::CloseRequest);
  EXPECT_TRUE(IsWindow(frame_->Handle())) << "a close request must not destroy the window";
}

TEST_F(FrameWindowTest, ButtonClickMadeByTheButtonItselfIsReported) {
  HWND button = Button(1, 0);
  // BM_CLICK makes the button send BN_CLICKED to its parent, as a mouse click does.
  PostMessageA(button, BM_CLICK, 0, 0);
  ExpectNextEvent(EventKind::ControlNotification, 1);
}

TEST_F(FrameWindowTest, OtherNotificationsAndMessagesAreNotEvents) {
  HWND button = Button(1, 0);
  PostCommand(1, BN_SETFOCUS, button);
  PostMessageA(frame_->Handle(), WM_MOVE, 0, 0);
  PostCommand(6);
  ExpectNextEvent(EventKind::MenuCommand, 6);
}

TEST_F(FrameWindowTest, EventsArisingOutsideTheWaitAreDropped) {
  // Sent directly, as a modal dialog's own loop would deliver it while a command runs.
  SendMessageA(frame_->Handle(), WM_CLOSE, 0, 0);
  SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(2, 0), 0);
  PostCommand(7);
  ExpectNextEvent(EventKind::MenuCommand, 7);
}

TEST_F(FrameWindowTest, TurnReportsAtMostOneMessageAndDiscardsItsEvent) {
  PostMessageA(frame_->Handle(), WM_CLOSE, 0, 0);
  PostCommand(6);
  EXPECT_EQ(frame_->TakeTurn().kind, EventKind::CloseRequest);
  Event second = frame_->TakeTurn();
  EXPECT_EQ(second.kind, EventKind::MenuCommand);
  EXPECT_EQ(second.id, 6);
  EXPECT_EQ(frame_->TakeTurn().kind, EventKind::None);

  // Nothing the turns consumed comes back to the wait.
  PostCommand(4);
  EXPECT_EQ(frame_->WaitEvent().id, 4);
}

// Work that throws on the window's thread ends there: the exception never unwinds
// through the system's message dispatch, and the window goes on working.
TEST_F(FrameWindowTest, WorkThatThrowsDoesNotEscapeTheWindowProcedure) {
  bool ran = false;
  frame_->RunOnWindowThread([&] {
    ran = true;
    throw std::runtime_error("failed");
  });
  EXPECT_TRUE(ran);
  int after = 0;
  frame_->RunOnWindowThread([&] { after = 1; });
  EXPECT_EQ(after, 1);
}

TEST_F(FrameWindowTest, TabMovesFocusToTheNextTabStop) {
  HWND first = Button(10, 0);
  HWND second = Button(11, 60);
  SetFocus(first);
  ASSERT_EQ(GetFocus(), first);
  PostMessageA(first, WM_KEYDOWN, VK_TAB, 0);
  frame_->TakeTurn();
  EXPECT_EQ(GetFocus(), second);
  PostMessageA(second, WM_KEYDOWN, VK_TAB, 0);
  frame_->TakeTurn();
  EXPECT_EQ(GetFocus(), first) << "Tab wraps around to the first control";
}

// Enter does nothing; Esc is reported as itself, never as a command (IDOK and IDCANCEL
// would be the Find BPM button and "Load Folder").
TEST_F(FrameWindowTest, EnterAndEscapeAreNotTurnedIntoCommands) {
  HWND button = Button(1, 0);
  SetFocus(button);
  PostMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(frame_->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  // An Esc that goes to a window outside the frame is none of its business.
  HWND other = CreateWindowExA(0, "Button", "elsewhere", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  PostMessageA(other, WM_KEYDOWN, VK_ESCAPE, 0);
  std::vector<EventKind> reported;
  for (int turn = 0; turn < 10; ++turn) {
    const Event event = frame_->TakeTurn();
    if (event.kind != EventKind::None) {
      reported.push_back(event.kind);
    }
  }
  EXPECT_EQ(reported, (std::vector<EventKind>{EventKind::EscapeKey, EventKind::EscapeKey}));
  DestroyWindow(other);
}

// Keys held with C (in the thread's key state, which the window reads as for a real
// press), whether it is a held key's repeat, and whether a copy is reported.
struct CopyChord {
  const char* name;
  std::vector<BYTE> held;
  bool repeat;
  bool copies;
};

class FrameWindowCopyKey : public FrameWindowTest, public ::testing::WithParamInterface<CopyChord> {
 protected:
  void TearDown() override {
    BYTE none[256] = {};
    SetKeyboardState(none);
  }
};

TEST_P(FrameWindowCopyKey, CtrlCAloneIsReportedOncePerPress) {
  BYTE state[256] = {};
  for (BYTE key : GetParam().held) {
    state[key] = 0x80;
  }
  SetKeyboardState(state);
  PostMessageA(Button(10, 0), WM_KEYDOWN, 'C', GetParam().repeat ? 1 | (1 << 30) : 1);
  std::vector<EventKind> reported;
  for (int turn = 0; turn < 5; ++turn) {
    if (const Event event = frame_->TakeTurn(); event.kind != EventKind::None) {
      reported.push_back(event.kind);
    }
  }
  EXPECT_EQ(reported, GetParam().copies ? std::vector<EventKind>{EventKind::CopyKey} : std::vector<EventKind>{});
}

INSTANTIATE_TEST_SUITE_P(
    Chords, FrameWindowCopyKey,
    ::testing::Values(CopyChord{"CtrlC", {VK_CONTROL}, false, true}, CopyChord{"PlainC", {}, false, false},
                      CopyChord{"AltGrC", {VK_CONTROL, VK_MENU}, false, false},
                      CopyChord{"HeldCtrlCRepeat", {VK_CONTROL}, true, false}),
    [](const auto& chord) { return std::string(chord.param.name); });

TEST_F(FrameWindowTest, MenuBarAddsOneMenuLineToTheInnerHeight) {
  platform::InnerSize before = frame_->MeasureInner();
  RECT client{};
  GetClientRect(frame_->Handle(), &client);
  EXPECT_EQ(before.width, client.right);
  EXPECT_EQ(before.height, client.bottom);

  ASSERT_TRUE(frame_->AttachMenuBar({{"File", {{1, "One"}, {}, {2, "Two"}}}}));
  GetClientRect(frame_->Handle(), &client);
  platform::InnerSize after = frame_->MeasureInner();
  EXPECT_EQ(after.width, client.right);
  EXPECT_EQ(after.height, client.bottom + GetSystemMetrics(SM_CYMENU));
}

}  // namespace
