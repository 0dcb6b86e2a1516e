// Ctrl-C: asks the batch to stop, and ends the process if it does not stop in time
// (a file stuck in a slow open or read).
#pragma once

namespace cli {

// The exit status of an interrupted run (128 + SIGINT, as shells report it).
constexpr int kInterruptedStatus = 130;

// Catches Ctrl-C (SIGINT, or the console's Ctrl-C and Ctrl-Break on Windows) and starts
// the watchdog: about a second after the first interrupt, unless the run has finished
// by then, the process ends with kInterruptedStatus. A second interrupt ends it at once.
// Either way, and on SIGTERM, SIGHUP or the console's close, a tag copy in progress is
// removed first.
void InstallInterruptHandling();

bool Interrupted();

// Tells the watchdog that the run is over and the process is ending by itself.
void MarkRunFinished();

}  // namespace cli
