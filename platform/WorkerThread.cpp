// Worker thread bookkeeping over CreateThread, so the thread handle can be waited on
// together with the message queue.
#include "platform/WorkerThread.h"

#include <utility>

namespace platform {

WorkerThread::~WorkerThread() {
  StopAndWait();
}

bool WorkerThread::Start(Job job) {
  if (running_.load()) {
    return false;
  }
  thread_.Reset();  // the previous run has ended; only its handle is left
  job_ = std::move(job);
  stopRequested_.store(false);
  running_.store(true);
  thread_.Reset(CreateThread(nullptr, 0, &WorkerThread::ThreadMain, this, 0, nullptr));
  if (!thread_) {
    running_.store(false);
    return false;
  }
  return true;
}

DWORD WINAPI WorkerThread::ThreadMain(void* parameter) {
  auto* self = static_cast<WorkerThread*>(parameter);
  self->job_(self->stopRequested_);
  self->running_.store(false);
  return 0;
}

bool WorkerThread::StopAndWait(DWORD timeoutMs) {
  if (!thread_) {
    return true;
  }
  RequestStop();
  HANDLE thread = thread_.Get();
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DWORD wait = INFINITE;
    if (timeoutMs != INFINITE) {
      const ULONGLONG now = GetTickCount64();
      wait = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    }
    DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, wait, QS_SENDMESSAGE);
    if (woke == WAIT_TIMEOUT) {
      return false;
    }
    if (woke != WAIT_OBJECT_0 + 1) {
      break;  // the thread ended, or waiting failed
    }
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers the sent messages
  }
  thread_.Reset();
  return true;
}

}  // namespace platform
