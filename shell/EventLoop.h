// The event loop: waits for one event at a time and carries out what it asks for,
// until a close request or "Quit".
#pragma once

#include "shell/Shell.h"

#include <atomic>

namespace shell {

void RunEventLoop(Shell& shell);

// Carries out one event; true when the loop ends after it.
bool HandleEvent(Shell& shell, platform::Event event);

// Menu commands 1 to 7; any other identifier does nothing.
void RunMenuCommand(Shell& shell, int id);

// How long a Find BPM press waits for a stopped run to end before it starts the next.
inline constexpr DWORD kStoppedRunWaitMs = 1000;

// Starts shell.batchJob on the worker thread. A press while a run is still going is
// ignored: the analysis state is shared, so two runs at once would corrupt each other.
// A run that was stopped is first given time to end, so the press starts a fresh one.
void StartBatch(Shell& shell);

// Esc: asks a running batch to stop; it ends within one chunk of audio and shows
// "Stopped". Nothing happens when no run is going.
void StopBatch(Shell& shell);

}  // namespace shell
