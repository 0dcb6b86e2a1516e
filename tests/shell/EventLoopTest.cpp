// The event loop and the commands that need no dialog: how the loop ends, unknown
// identifiers, the page commands and the Find BPM button.
#include "ShellFixture.h"

#include "platform/Controls.h"
#include "shell/BatchRun.h"
#include "shell/EventLoop.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>

namespace {

using shell_test::ShellFixture;

class EventLoop : public ShellFixture {
 protected:
  void PostMenu(int id) { PostMessageA(shell_->window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  void PressFindBpm() { PostMessageA(shell_->findBpmButton, BM_CLICK, 0, 0); }
  void PostClose() { PostMessageA(shell_->window->Handle(), WM_CLOSE, 0, 0); }

  // The folder of this test executable, where the build puts the two pages too.
  static std::string OwnFolder() {
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1);
  }
};

TEST_F(EventLoop, QuitEndsTheLoopAndLeavesTheWindow) {
  PostMenu(6);
  PostMenu(4);  // never reached: the loop ends right after "Quit"
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->quitFlag, 1);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_TRUE(IsWindow(shell_->window->Handle()));
}

TEST_F(EventLoop, CloseRequestEndsTheLoopWithoutDestroyingTheWindow) {
  PostClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->quitFlag, 0);
  EXPECT_EQ(shell_->currentEvent.kind, platform::EventKind::CloseRequest);
  EXPECT_TRUE(IsWindow(shell_->window->Handle()));
  EXPECT_TRUE(IsWindowVisible(shell_->window->Handle()));
}

TEST_F(EventLoop, SystemMenuCloseIsACloseRequest) {
  PostMessageA(shell_->window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->currentEvent.kind, platform::EventKind::CloseRequest);
  EXPECT_TRUE(IsWindow(shell_->window->Handle()));
}

TEST_F(EventLoop, UnknownIdentifiersDoNothing) {
  platform::AppendListRow(shell_->trackList, "C:\\keep.mp3");
  for (int id : {0, 8, 99, 0xFFFF}) {
    PostMenu(id);
  }
  PostClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->quitFlag, 0);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_EQ(Rows(), std::vector<std::string>{"C:\\keep.mp3"});
  EXPECT_FALSE(shell_->worker.IsRunning());
}

TEST_F(EventLoop, PageCommandsOpenTheHelpAndAboutPagesBesideTheProgram) {
  PostMenu(4);
  PostMenu(5);
  PostMenu(7);
  PostClose();
  shell::RunEventLoop(*shell_);
  const std::string help = OwnFolder() + "help.html";
  const std::string about = OwnFolder() + "about.html";
  EXPECT_EQ(opener_.opened, (std::vector<std::string>{help, about, help}));
  EXPECT_NE(GetFileAttributesA(help.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(about.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Holds a batch job inside its run until the test releases it.
struct GatedJob {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> runs{0};
  ~GatedJob() { CloseHandle(release); }
  platform::WorkerThread::Job Job() {
    return [this](const std::atomic<bool>& stop) {
      ++runs;
      while (!stop.load() && WaitForSingleObject(release, 1) == WAIT_TIMEOUT) {
      }
    };
  }
};

TEST_F(EventLoop, FindBpmStartsOneWorkerAndPressesDuringTheRunAreIgnored) {
  GatedJob job;
  shell_->batchJob = job.Job();
  PressFindBpm();
  PressFindBpm();
  PressFindBpm();
  PostClose();
  shell::RunEventLoop(*shell_);
  EXPECT_TRUE(shell_->worker.IsRunning());
  SetEvent(job.release);
  shell_->worker.StopAndWait();
  EXPECT_EQ(job.runs.load(), 1);

  // Once the run has ended, the next press starts a new one.
  ResetEvent(job.release);
  PressFindBpm();
  PostClose();
  shell::RunEventLoop(*shell_);
  SetEvent(job.release);
  shell_->worker.StopAndWait();
  EXPECT_EQ(job.runs.load(), 2);
}

TEST_F(EventLoop, ShutdownWaitStopsARunningBatch) {
  GatedJob job;
  shell_->batchJob = job.Job();
  PressFindBpm();
  PostClose();
  shell::RunEventLoop(*shell_);
  ASSERT_TRUE(shell_->worker.IsRunning());
  shell_->worker.StopAndWait();  // the job is never released: only the stop request ends it
  EXPECT_FALSE(shell_->worker.IsRunning());
}

TEST_F(EventLoop, FindBpmOnAnEmptyListChangesNoControl) {
  shell_->batchJob = shell::BatchJobFor(*shell_);
  PressFindBpm();
  PostClose();
  shell::RunEventLoop(*shell_);
  shell_->worker.StopAndWait();
  EXPECT_EQ(platform::ListRowCount(shell_->trackList), 0);
  char text[16] = {"x"};
  GetWindowTextA(shell_->statusLabel, text, sizeof text);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(SendMessageA(shell_->progressBar, PBM_GETPOS, 0, 0), 0);
}

}  // namespace
