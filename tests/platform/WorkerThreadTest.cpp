// The worker bookkeeping: one run at a time, stop requests, and a wait that serves
// the messages the worker sends to the waiting thread.
#include "platform/WorkerThread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Blocks the job until the test lets it go, so "still running" is certain.
struct Gate {
  platform::UniqueHandle open{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  void Open() { SetEvent(open.Get()); }
  void Wait() { WaitForSingleObject(open.Get(), 10000); }
};

TEST(WorkerThread, RunsTheJobOnAnotherThread) {
  platform::WorkerThread worker;
  std::atomic<DWORD> jobThread{0};
  ASSERT_TRUE(worker.Start([&](const std::atomic<bool>&) { jobThread = GetCurrentThreadId(); }));
  worker.StopAndWait();
  EXPECT_NE(jobThread.load(), 0u);
  EXPECT_NE(jobThread.load(), GetCurrentThreadId());
  EXPECT_FALSE(worker.IsRunning());
}

TEST(WorkerThread, SecondStartWhileRunningIsRefusedAndItsJobNeverRuns) {
  platform::WorkerThread worker;
  Gate gate;
  std::atomic<int> secondRuns{0};
  ASSERT_TRUE(worker.Start([&](const std::atomic<bool>&) { gate.Wait(); }));
  EXPECT_TRUE(worker.IsRunning());
  EXPECT_FALSE(worker.Start([&](const std::atomic<bool>&) { ++secondRuns; }));
  gate.Open();
  worker.StopAndWait();
  EXPECT_EQ(secondRuns.load(), 0);
}

TEST(WorkerThread, StartsAgainOnceTheRunHasEnded) {
  platform::WorkerThread worker;
  std::atomic<int> runs{0};
  ASSERT_TRUE(worker.Start([&](const std::atomic<bool>&) { ++runs; }));
  worker.StopAndWait();
  ASSERT_TRUE(worker.Start([&](const std::atomic<bool>&) { ++runs; }));
  worker.StopAndWait();
  EXPECT_EQ(runs.load(), 2);
}

TEST(WorkerThread, StopAndWaitEndsAJobThatPollsTheFlag) {
  platform::WorkerThread worker;
  std::atomic<bool> sawStop{false};
  ASSERT_TRUE(worker.Start([&](const std::atomic<bool>& stop) {
    while (!stop.load()) {
      Sleep(1);
    }
    sawStop = true;
  }));
  worker.StopAndWait();
  EXPECT_TRUE(sawStop.load());
  EXPECT_FALSE(worker.IsRunning());
}

constexpr UINT kFromWorker = WM_APP + 1;
std::atomic<int> messagesServed{0};

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kFromWorker) {
    ++messagesServed;
    return 42;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(WorkerThread, WaitServesMessagesTheWorkerSends) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "WorkerThreadTestTarget";
  RegisterClassA(&wc);
  platform::UniqueWindow target(
      CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
  ASSERT_TRUE(target.IsValid());

  messagesServed = 0;
  std::atomic<LRESULT> reply{0};
  platform::WorkerThread worker;
  HWND hwnd = target.Get();
  // The worker sends only after the stop request, i.e. while the main thread is
  // already inside the wait: without serving sent messages this would hang.
  ASSERT_TRUE(worker.Start([&, hwnd](const std::atomic<bool>& stop) {
    while (!stop.load()) {
      Sleep(1);
    }
    reply = SendMessageA(hwnd, kFromWorker, 0, 0);
    reply = reply + SendMessageA(hwnd, kFromWorker, 0, 0);
  }));
  worker.StopAndWait();
  EXPECT_EQ(messagesServed.load(), 2);
  EXPECT_EQ(reply.load(), 84);
}

}  // namespace
