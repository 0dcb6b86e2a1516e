// The three loading commands with their real dialogs, driven from a helper thread the
// way a user would: it finds the dialog, reads what it shows, then types a path,
// picks a folder or presses Cancel.
#include "ProgramDriver.h"
#include "ShellFixture.h"
#include "TreePaths.h"

#include "platform/Controls.h"
#include "shell/EventLoop.h"
#include "shell/TrackCollection.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using shell_test::DialogOutcome;
using shell_test::DialogSeen;
using shell_test::PickFolder;
using shell_test::PressCancel;
using shell_test::TypeFileName;

class Dialogs : public shell_test::TreesFixture {
 protected:
  void SetUp() override {
    TreesFixture::SetUp();
    if (IsSkipped()) {
      return;
    }
    platform::AppendListRow(shell_->trackList, "C:\\first.mp3");
    platform::SetListItemText(shell_->trackList, 0, 1, "120.00");
    platform::SetListItemText(shell_->trackList, 0, 2, "60.00");
    platform::AppendListRow(shell_->trackList, "C:\\second.wav");
    platform::SetListItemText(shell_->trackList, 1, 1, "98.50");
    platform::SetListItemText(shell_->trackList, 1, 2, "147.75");
  }

  void ExpectListUntouched() {
    EXPECT_EQ(Rows(0), (std::vector<std::string>{"C:\\first.mp3", "C:\\second.wav"}));
    EXPECT_EQ(Rows(1), (std::vector<std::string>{"120.00", "98.50"}));
    EXPECT_EQ(Rows(2), (std::vector<std::string>{"60.00", "147.75"}));
  }

  static bool Shows(const DialogSeen& seen, const std::string& text) {
    return std::find(seen.childTexts.begin(), seen.childTexts.end(), text) != seen.childTexts.end();
  }
};

TEST_F(Dialogs, FileDialogShowsTitleAndFilterAndCancelChangesNothing) {
  const DialogOutcome dialog = driver_.AnswerDialog(PressCancel, [&] { shell::LoadFile(*shell_); });
  ASSERT_TRUE(dialog.found);
  EXPECT_EQ(dialog.seen.title, "Select an Audio File");
  EXPECT_EQ(dialog.seen.firstFilter, "Audio (*mp3,*.wav)");
  ExpectListUntouched();
}

TEST_F(Dialogs, TypedNameOfAMissingFileInAnExistingFolderIsListed) {
  char before[1024] = {};
  GetCurrentDirectoryA(sizeof before, before);
  const std::string typed = root_ + "flat\\not here yet.mp3";
  const DialogOutcome dialog = driver_.AnswerDialog(TypeFileName(typed), [&] { shell::LoadFile(*shell_); });
  ASSERT_TRUE(dialog.found);
  EXPECT_EQ(Rows(0), std::vector<std::string>{typed});
  EXPECT_EQ(Rows(1), std::vector<std::string>{""}) << "a new row has no tempo yet";
  char after[1024] = {};
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before) << "the dialog must leave the current folder alone";
}

TEST_F(Dialogs, LoadFileAppliesNoAudioNameTest) {
  const std::string typed = root_ + "flat\\notes.txt";
  driver_.AnswerDialog(TypeFileName(typed), [&] { shell::LoadFile(*shell_); });
  EXPECT_EQ(Rows(), std::vector<std::string>{typed});
}

TEST_F(Dialogs, FolderDialogShowsItsTextAndCancelChangesNothing) {
  for (auto command : {shell::LoadFolder, shell::LoadFolderRecursive}) {
    const DialogOutcome dialog = driver_.AnswerDialog(PressCancel, [&] { command(*shell_); });
    ASSERT_TRUE(dialog.found);
    EXPECT_TRUE(Shows(dialog.seen, "Select a folder"));
    ExpectListUntouched();
  }
}

TEST_F(Dialogs, LoadFolderReplacesTheListWithTheFolderAudioFiles) {
  const std::string folder = root_ + "flat";
  driver_.AnswerDialog(PickFolder(folder), [&] { shell::LoadFolder(*shell_); });
  EXPECT_EQ(shell_->folderPath, folder + "\\");
  EXPECT_EQ(Rows(), (std::vector<std::string>{folder + "\\a.MP3", folder + "\\b.wav", folder + "\\SONG.Mp3",
                                              folder + "\\take.WAV"}));
  EXPECT_EQ(Rows(1), std::vector<std::string>(4, ""));
}

TEST_F(Dialogs, DriveRootGivesRowsWithASingleBackslash) {
  // Z: is Wine's view of the Linux root; its top level holds no audio files, so the
  // rows of a root are checked on drive Y:, which the fixture maps to a folder.
  driver_.AnswerDialog(PickFolder("Z:\\"), [&] { shell::LoadFolder(*shell_); });
  EXPECT_EQ(shell_->folderPath, "Z:\\");

  platform::ClearList(shell_->trackList);
  shell::ScanFolder(*shell_, "Y:\\");
  EXPECT_EQ(Rows(), std::vector<std::string>{"Y:\\song.mp3"});
}

TEST_F(Dialogs, CloseDuringARecursiveLoadIsDiscarded) {
  const std::string tree = root_ + "tree";
  HWND window = shell_->window->Handle();
  driver_.AnswerDialog(PickFolder(tree, window), [&] { shell::LoadFolderRecursive(*shell_); });
  const std::vector<std::string> rows = Rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), tree + "\\live.mp3");
  EXPECT_EQ(rows.back(), tree + "\\Z\\z.mp3");
  EXPECT_TRUE(IsWindow(window));

  driver_.ChooseMenu(7);
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(opener_.opened.size(), 1u) << "the loop went on after the scan";
}

}  // namespace
