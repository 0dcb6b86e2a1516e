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

void WorkerThread::StopAndWait() {
  if (!thread_) {
    return;
  }
  RequestStop();
  HANDLE thread = thread_.Get();
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) {
      break;  // the thread ended, or waiting failed
    }
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers the sent messages
  }
  thread_.Reset();
}

}  // namespace platform
