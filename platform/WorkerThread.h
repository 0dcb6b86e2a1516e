// One worker thread at a time for the long-running batch, with a stop request the
// job polls and a wait that keeps serving the messages the worker sends.
#pragma once

#include "platform/ScopedWin.h"

#include <atomic>
#include <functional>

namespace platform {

class WorkerThread {
 public:
  // The job polls the flag and returns soon after it becomes true.
  using Job = std::function<void(const std::atomic<bool>& stopRequested)>;

  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts job on a new thread and returns at once. False, and nothing started,
  // while an earlier job is still running or when no thread can be created.
  bool Start(Job job);

  bool IsRunning() const { return running_.load(); }

  void RequestStop() { stopRequested_.store(true); }
  bool StopRequested() const { return stopRequested_.load(); }

  // Asks a running job to stop and waits up to timeoutMs for its thread to end.
  // Messages sent from the worker to this thread are handled meanwhile, since the
  // worker waits for them; posted messages and input stay queued. True once no thread
  // is left; false when the job is still running at the end of the wait (stuck in a
  // call that does not return): the thread then goes on using this object, which must
  // stay alive, so the caller's way out is to end the process.
  bool StopAndWait(DWORD timeoutMs = INFINITE);

 private:
  static DWORD WINAPI ThreadMain(void* parameter);

  UniqueHandle thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  Job job_;
};

}  // namespace platform
