// The shell's state for one run of the program: the main window and its controls,
// the texts the dialogs returned, the quit flag, the page opener and the worker.
#pragma once

#include "platform/FrameWindow.h"
#include "platform/PageOpener.h"
#include "platform/WorkerThread.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace shell {

struct Shell {
  HINSTANCE instance = nullptr;
  std::unique_ptr<platform::FrameWindow> window;
  HWND trackList = nullptr;
  HWND findBpmButton = nullptr;
  HWND progressBar = nullptr;
  HWND statusLabel = nullptr;

  platform::Event currentEvent;
  std::string filePath;
  std::string folderPath;
  int quitFlag = 0;

  platform::PageOpener* pageOpener = nullptr;

  // Changes every time the track list is cleared, so a run in progress can tell
  // that the rows it is walking are gone.
  std::atomic<uint64_t> listGeneration{0};
  // True from the moment a load clears the list until its last row is in. The
  // recursive scan lets the window run between entries, so a run's requests are
  // served while the list is only partly filled.
  std::atomic<bool> listRebuilding{false};

  // What a Find BPM press runs on the worker thread, one run at a time: the batch
  // driver on the controls (BatchJobFor), given once they exist; nothing while empty.
  platform::WorkerThread::Job batchJob;
  platform::WorkerThread worker;
};

}  // namespace shell
