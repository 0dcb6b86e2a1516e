// Ctrl+C in the main window: the list as a tab-separated table on the clipboard, read
// back as another program would paste it.
#include "ShellFixture.h"

#include "platform/Clipboard.h"
#include "platform/Controls.h"
#include "shell/EventLoop.h"
#include "shell/TrackListCopy.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using shell_test::ShellFixture;

constexpr char kHeader[] = "File\tBPM (Primary)\tBPM (Alternative)\r\n";

struct ListRow {
  std::string path;
  std::string primary;
  std::string alternative;
};

struct TableCase {
  const char* name;
  std::vector<ListRow> rows;
  std::string table;
};

class TrackListTable : public ShellFixture, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TrackListTable, HeaderAndEveryRowAsShown) {
  for (const ListRow& row : GetParam().rows) {
    const int index = platform::AppendListRow(shell_->trackList, row.path);
    ASSERT_GE(index, 0);
    if (!row.primary.empty()) {
      platform::SetListItemText(shell_->trackList, index, 1, row.primary);
    }
    if (!row.alternative.empty()) {
      platform::SetListItemText(shell_->trackList, index, 2, row.alternative);
    }
  }
  EXPECT_EQ(shell::TrackListTable(shell_->trackList), GetParam().table);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TrackListTable,
    ::testing::Values(
        TableCase{"Empty", {}, kHeader},
        TableCase{"BeforeARun", {{"C:\\m\\a.mp3", "", ""}}, std::string(kHeader) + "C:\\m\\a.mp3\t\t\r\n"},
        // The run writes the primary before the alternative: a copy between the two
        // shows a row half filled.
        TableCase{"MidRun",
                  {{"C:\\m\\a.mp3", "120.00", "0.00"}, {"C:\\m\\b.wav", "87.46", ""}, {"D:\\c.WAV", "", ""}},
                  std::string(kHeader) + "C:\\m\\a.mp3\t120.00\t0.00\r\nC:\\m\\b.wav\t87.46\t\r\nD:\\c.WAV\t\t\r\n"},
        // Longer than the list's first read of a cell.
        TableCase{"LongPath",
                  {{"C:\\" + std::string(700, 'x') + ".mp3", "64.00", "128.00"}},
                  std::string(kHeader) + "C:\\" + std::string(700, 'x') + ".mp3\t64.00\t128.00\r\n"}),
    [](const auto& list) { return std::string(list.param.name); });

class TrackListCopy : public ShellFixture {
 protected:
  void TearDown() override {
    BYTE state[256] = {};
    SetKeyboardState(state);
    ShellFixture::TearDown();
  }

  // Ctrl+C on the control with the focus, with Ctrl held in this thread's key state,
  // then a close request, served by the program's event loop.
  void PressCtrlCAndRunTheLoop() {
    BYTE state[256] = {};
    state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    SetKeyboardState(state);
    SetFocus(shell_->trackList);
    PostMessageA(shell_->trackList, WM_KEYDOWN, 'C', 1);
    PostMessageA(shell_->trackList, WM_KEYUP, 'C', 1 | (static_cast<LPARAM>(3) << 30));
    driver_.RequestClose();
    shell::RunEventLoop(*shell_);
  }
};

TEST_F(TrackListCopy, CtrlCPutsTheTableOnTheClipboardWithNamesOfAnyScript) {
  ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the test runs without the program's manifest";
  // Greek and Japanese names, in the program's UTF-8 code page.
  platform::AppendListRow(shell_->trackList, "C:\\\xCE\xA9\xCE\xB4\xCE\xAE.mp3");
  platform::AppendListRow(shell_->trackList, "C:\\\xE6\x8B\x8D\xE5\xAD\x90.wav");
  platform::SetListItemText(shell_->trackList, 0, 1, "120.00");
  platform::SetListItemText(shell_->trackList, 0, 2, "0.00");
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, L"before"));

  PressCtrlCAndRunTheLoop();

  EXPECT_EQ(platform::ClipboardText(nullptr),
            L"File\tBPM (Primary)\tBPM (Alternative)\r\n"
            L"C:\\\u03a9\u03b4\u03ae.mp3\t120.00\t0.00\r\n"
            L"C:\\\u62cd\u5b50.wav\t\t\r\n");
  EXPECT_EQ(Rows(0).size(), 2u) << "copying changed the list";
  EXPECT_EQ(shell_->quitFlag, 0);
}

TEST_F(TrackListCopy, CWithoutCtrlCopiesNothing) {
  platform::AppendListRow(shell_->trackList, "C:\\a.mp3");
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, L"before"));
  SetFocus(shell_->trackList);
  PostMessageA(shell_->trackList, WM_KEYDOWN, 'C', 1);
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(platform::ClipboardText(nullptr), L"before");
}

}  // namespace
