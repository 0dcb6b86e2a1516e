// A Find BPM run: the batch driver on the worker thread, reading and writing the main
// window's controls through the window's own thread.
#pragma once

#include "platform/FrameWindow.h"
#include "platform/WorkerThread.h"
#include "shell/Shell.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace shell {

// All a run may touch: the three controls it updates, each access carried to the main
// thread through the window, the list generation it checks its writes against and
// whether a load is filling the list at the moment.
struct BatchControls {
  platform::FrameWindow& window;
  HWND trackList;
  HWND progressBar;
  HWND statusLabel;
  const std::atomic<uint64_t>& listGeneration;
  const std::atomic<bool>& listRebuilding;
};

// The status label's text once a run has been stopped.
inline constexpr char kStoppedStatus[] = "Stopped";

BatchControls BatchControlsOf(Shell& shell);

// The worker's job: runs the batch driver over the track list until its last row, a
// stop request, or the end of the program. A run stopped once it has begun a row
// leaves "Stopped" in the status label. While a load is filling the list the run waits for it to finish, so
// it goes on over the whole new list, never over the part listed so far.
void RunBatchOnWorker(const BatchControls& controls, const std::atomic<bool>& stopRequested);

// The job a Find BPM press starts in the program: RunBatchOnWorker on the shell's
// main window and controls.
platform::WorkerThread::Job BatchJobFor(Shell& shell);

}  // namespace shell
