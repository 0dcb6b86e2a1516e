// A Find BPM run: the batch driver on the worker thread, reading and writing the main
// window's controls through the window's own thread.
#pragma once

#include "shell/Shell.h"

#include <atomic>

namespace shell {

// The worker's job: runs the batch driver over the track list until its last row, a
// stop request, or the end of the program.
void RunBatchOnWorker(Shell& shell, const std::atomic<bool>& stopRequested);

}  // namespace shell
