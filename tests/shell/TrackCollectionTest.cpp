// The audio-name test and both folder scans on real folder trees, including a link
// cycle, a branch past the classic path limit, and events arriving during a scan.
#include "ShellFixture.h"
#include "TreePaths.h"

#include "platform/Controls.h"
#include "shell/EventLoop.h"
#include "shell/TrackCollection.h"
#include "tracklist/AudioExtensions.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace {

struct NameCase {
  const char* name;
  bool passes;
};

class AudioNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(AudioNameTest, LastFourCharactersIgnoringAsciiCase) {
  EXPECT_EQ(tracklist::PassesAudioNameTest(GetParam().name), GetParam().passes) << '"' << GetParam().name << '"';
}

INSTANTIATE_TEST_SUITE_P(Names, AudioNameTest,
                         ::testing::Values(NameCase{"Song.mp3", true}, NameCase{"SONG.Mp3", true},
                                           NameCase{"take.wav", true}, NameCase{"TAKE.WAV", true},
                                           NameCase{".mp3", true}, NameCase{"C:\\x\\a.wAv", true},
                                           NameCase{"song.mp4", false}, NameCase{"song.mpeg", false},
                                           NameCase{"mp3", false}, NameCase{"nodotmp3", false},
                                           NameCase{"song.mp3 ", false}, NameCase{"song.mp3.txt", false},
                                           NameCase{"", false}, NameCase{"p3", false}, NameCase{"song_mp3", false},
                                           // Only a to z fold: a Latin-1 capital must not match its small letter.
                                           NameCase{"song.m\xD0"
                                                    "3",
                                                    false}));

class Scan : public shell_test::TreesFixture {};

TEST_F(Scan, FlatScanListsAudioFilesOfOneFolderInListingOrder) {
  const std::string folder = root_ + "flat\\";
  platform::AppendListRow(shell_->trackList, "C:\\old.mp3");
  platform::ClearList(shell_->trackList);
  shell::ScanFolder(*shell_, folder);
  // Listing order is the file system's: by name, ignoring case. The folder
  // "live.mp3", the sub-folders, "trail.mp3 " and "nodotmp3" are not listed.
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{folder + "a.MP3", folder + "b.wav", folder + "SONG.Mp3", folder + "take.WAV"}));
}

TEST_F(Scan, FlatScanOfAnEmptyOrMissingFolderListsNothing) {
  shell::ScanFolder(*shell_, root_ + "flat\\empty\\");
  shell::ScanFolder(*shell_, root_ + "flat\\missing\\");
  EXPECT_TRUE(Rows().empty());
}

TEST_F(Scan, FlatScanGivesTheWindowNoTurn) {
  PostMessageA(shell_->window->Handle(), WM_COMMAND, MAKEWPARAM(4, 0), 0);
  shell::ScanFolder(*shell_, root_ + "flat\\");
  platform::Event next = shell_->window->WaitEvent();
  EXPECT_EQ(next.kind, platform::EventKind::MenuCommand);
  EXPECT_EQ(next.id, 4);
}

TEST_F(Scan, RecursiveScanIsDepthFirstAndEndsAtTheLinkCycle) {
  const std::string tree = root_ + "tree\\";
  EXPECT_EQ(shell::ScanFolderTree(*shell_, root_ + "tree", 1), 1);
  const std::string longBranch = tree + "long\\";
  std::vector<std::string> rows;
  std::vector<std::string> longRows;
  for (const std::string& row : Rows()) {
    (row.rfind(longBranch, 0) == 0 ? longRows : rows).push_back(row);
  }
  // Root matches first (the folder "live.mp3" among them), then each sub-folder in
  // listing order, each completely: A, A\A2, B (its link back to the root adds
  // nothing), empty, live.mp3, long, Z.
  EXPECT_EQ(rows,
            (std::vector<std::string>{tree + "live.mp3", tree + "r1.mp3", tree + "A\\a1.WAV", tree + "A\\A2\\a2.mp3",
                                      tree + "B\\b1.mp3", tree + "live.mp3\\l.mp3", tree + "Z\\z.mp3"}));

  // The long branch: levels the system can list come whole and in order, deeper
  // ones are skipped, and no path is ever cut short.
  const std::string segment(60, 'd');
  std::vector<std::string> expectedLong;
  size_t listable = 0;
  std::string level = longBranch;
  for (int depth = 1; depth <= 6; ++depth) {
    level += segment + std::to_string(depth) + "\\";
    expectedLong.push_back(level + "level" + std::to_string(depth) + ".mp3");
    if (level.size() + std::string("*.*").size() < MAX_PATH) {
      listable = expectedLong.size();
    }
  }
  ASSERT_LE(longRows.size(), expectedLong.size());
  ASSERT_GE(longRows.size(), listable) << "every level within the classic limit must be listed";
  for (size_t i = 0; i < longRows.size(); ++i) {
    EXPECT_EQ(longRows[i], expectedLong[i]);
  }
}

TEST_F(Scan, RecursiveScanWithoutDescendListsOnlyTheFolderItself) {
  const std::string tree = root_ + "tree\\";
  shell::ScanFolderTree(*shell_, tree, 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{tree + "live.mp3", tree + "r1.mp3"}));
}

TEST_F(Scan, StartingInsideTheCycleStillEnds) {
  // Entering through the link: B\loop is the root itself, so B is met again below
  // it and is not entered a second time.
  const std::string start = root_ + "tree\\B\\loop\\";
  shell::ScanFolderTree(*shell_, start, 1);
  const std::vector<std::string> rows = Rows();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), start + "B\\b1.mp3"), 1);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), start + "r1.mp3"), 1);
}

TEST_F(Scan, EventsDuringARecursiveScanAreConsumedAndDiscarded) {
  std::atomic<int> batches{0};
  shell_->batchJob = [&](const std::atomic<bool>&) { ++batches; };
  HWND window = shell_->window->Handle();
  PostMessageA(window, WM_CLOSE, 0, 0);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(6, 0), 0);
  PostMessageA(shell_->findBpmButton, BM_CLICK, 0, 0);

  shell::ScanFolderTree(*shell_, root_ + "tree\\", 1);

  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(shell_->quitFlag, 0);
  EXPECT_FALSE(shell_->worker.IsRunning());
  EXPECT_EQ(batches.load(), 0);
  // The loop goes on afterwards: the first event it sees is one made after the scan.
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(4, 0), 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(opener_.opened.size(), 1u);
}

}  // namespace
