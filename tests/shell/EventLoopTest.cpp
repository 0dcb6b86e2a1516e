// The event loop and the commands that need no dialog: how the loop ends, unknown
// identifiers, the page commands and the Find BPM button.
#include "ShellFixture.h"

#include "platform/Controls.h"
#include "shell/BatchRun.h"
#include "shell/EventLoop.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

using shell_test::ShellFixture;

class EventLoop : public ShellFixture {};

TEST_F(EventLoop, QuitEndsTheLoopAndLeavesTheWindow) {
  driver_.ChooseMenu(6);
  driver_.ChooseMenu(4);  // never reached: the loop ends right after "Quit"
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->quitFlag, 1);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_TRUE(IsWindow(shell_->window->Handle()));
}

TEST_F(EventLoop, CloseRequestEndsTheLoopWithoutDestroyingTheWindow) {
  driver_.RequestClose();
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
    driver_.ChooseMenu(id);
  }
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->quitFlag, 0);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_EQ(Rows(), std::vector<std::string>{"C:\\keep.mp3"});
  EXPECT_FALSE(shell_->worker.IsRunning());
}

TEST_F(EventLoop, PageCommandsOpenTheHelpAndAboutPagesBesideTheProgram) {
  driver_.ChooseMenu(4);
  driver_.ChooseMenu(5);
  driver_.ChooseMenu(7);
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  // The build puts the two pages beside this test executable too.
  const std::string help = shell_test::OwnFolder() + "help.html";
  const std::string about = shell_test::OwnFolder() + "about.html";
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
  driver_.PressFindBpm();
  driver_.PressFindBpm();
  driver_.PressFindBpm();
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_TRUE(shell_->worker.IsRunning());
  SetEvent(job.release);
  shell_->worker.StopAndWait();
  EXPECT_EQ(job.runs.load(), 1);

  // Once the run has ended, the next press starts a new one.
  ResetEvent(job.release);
  driver_.PressFindBpm();
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  SetEvent(job.release);
  shell_->worker.StopAndWait();
  EXPECT_EQ(job.runs.load(), 2);
}

TEST_F(EventLoop, ShutdownWaitStopsARunningBatch) {
  GatedJob job;
  shell_->batchJob = job.Job();
  driver_.PressFindBpm();
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  ASSERT_TRUE(shell_->worker.IsRunning());
  shell_->worker.StopAndWait();  // the job is never released: only the stop request ends it
  EXPECT_FALSE(shell_->worker.IsRunning());
}

TEST_F(EventLoop, FindBpmOnAnEmptyListChangesNoControl) {
  shell_->batchJob = shell::BatchJobFor(*shell_);
  driver_.PressFindBpm();
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  shell_->worker.StopAndWait();
  EXPECT_EQ(platform::ListRowCount(shell_->trackList), 0);
  EXPECT_EQ(driver_.Status(), "");
  EXPECT_EQ(driver_.ProgressPosition(), 0);
}

// Esc and Enter as the keyboard delivers them to the control that has the focus.
void PostKey(HWND control, WPARAM key) {
  PostMessageA(control, WM_KEYDOWN, key, 1);
  PostMessageA(control, WM_KEYUP, key, 1 | (3LL << 30));
}

TEST_F(EventLoop, EscAndEnterWithNothingRunningDoNothing) {
  GatedJob job;
  shell_->batchJob = job.Job();
  platform::AppendListRow(shell_->trackList, "C:\\keep.mp3");
  for (HWND control : {shell_->trackList, shell_->findBpmButton, shell_->window->Handle()}) {
    PostKey(control, VK_ESCAPE);
    PostKey(control, VK_RETURN);
  }
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(shell_->currentEvent.kind, platform::EventKind::CloseRequest);
  EXPECT_EQ(job.runs.load(), 0);
  EXPECT_FALSE(shell_->worker.IsRunning());
  EXPECT_EQ(shell_->quitFlag, 0);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_EQ(Rows(), std::vector<std::string>{"C:\\keep.mp3"});
}

TEST_F(EventLoop, EscStopsTheRunAndTheNextPressStartsAFreshOne) {
  // A job that, once asked to stop, takes a while over its last chunk.
  std::atomic<int> runs{0};
  std::atomic<int> ended{0};
  shell_->batchJob = [&](const std::atomic<bool>& stop) {
    ++runs;
    while (!stop.load()) {
      Sleep(1);
    }
    Sleep(200);
    ++ended;
  };
  driver_.PressFindBpm();
  PostKey(shell_->trackList, VK_ESCAPE);
  driver_.PressFindBpm();  // while the stopped run is still ending
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);
  EXPECT_EQ(ended.load(), 1) << "the press did not wait for the stopped run";
  EXPECT_TRUE(shell_->worker.StopAndWait());
  EXPECT_EQ(runs.load(), 2) << "the press after Esc was ignored";
  EXPECT_EQ(ended.load(), 2);
}

TEST_F(EventLoop, BoundedShutdownWaitGivesUpOnAJobThatNeverReturns) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND label = shell_->statusLabel;
  platform::FrameWindow& window = *shell_->window;
  shell_->batchJob = [=, &window](const std::atomic<bool>& stop) {
    while (!stop.load()) {
      Sleep(1);
    }
    // An update sent while shutdown waits, then a call that does not come back.
    window.RunOnWindowThread([label] { SetWindowTextA(label, "sent while waiting"); });
    WaitForSingleObject(release, INFINITE);
  };
  driver_.PressFindBpm();
  driver_.RequestClose();
  shell::RunEventLoop(*shell_);

  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(shell_->worker.StopAndWait(300));
  EXPECT_GE(GetTickCount64() - start, 250u);
  EXPECT_TRUE(shell_->worker.IsRunning());
  EXPECT_EQ(driver_.Status(), "sent while waiting");

  SetEvent(release);
  EXPECT_TRUE(shell_->worker.StopAndWait(10000));
  EXPECT_FALSE(shell_->worker.IsRunning());
  CloseHandle(release);
}

}  // namespace
