// The main thread's loop between start-up and shutdown, and the menu commands.
#include "shell/EventLoop.h"

#include "shell/MainWindow.h"
#include "shell/TrackCollection.h"
#include "shell/TrackListCopy.h"
#include "shell/WebPages.h"

namespace shell {

void RunEventLoop(Shell& shell) {
  for (;;) {
    shell.currentEvent = shell.window->WaitEvent();
    if (HandleEvent(shell, shell.currentEvent)) {
      return;
    }
  }
}

bool HandleEvent(Shell& shell, platform::Event event) {
  switch (event.kind) {
    case platform::EventKind::ControlNotification:
      if (event.id == kFindBpmButtonId) {
        StartBatch(shell);
      }
      break;
    case platform::EventKind::MenuCommand:
      RunMenuCommand(shell, event.id);
      break;
    case platform::EventKind::EscapeKey:
      StopBatch(shell);
      break;
    case platform::EventKind::CopyKey:
      CopyTrackList(shell);
      break;
    case platform::EventKind::CloseRequest:
    case platform::EventKind::None:
      break;
  }
  return event.kind == platform::EventKind::CloseRequest || shell.quitFlag == 1;
}

void RunMenuCommand(Shell& shell, int id) {
  switch (id) {
    case kLoadFileCommand:
      LoadFile(shell);
      break;
    case kLoadFolderCommand:
      LoadFolder(shell);
      break;
    case kLoadFolderRecursiveCommand:
      LoadFolderRecursive(shell);
      break;
    case kGotoWebPageCommand:
    case kHelpCommand:
      shell.pageOpener->Open(ProductPageAddress());
      break;
    case kMakerPageCommand:
      shell.pageOpener->Open(MakerPageAddress());
      break;
    case kQuitCommand:
      shell.quitFlag = 1;
      break;
    default:
      break;
  }
}

void StartBatch(Shell& shell) {
  if (!shell.batchJob) {
    return;
  }
  if (shell.worker.IsRunning() && shell.worker.StopRequested()) {
    // A stopped run may still be giving up its last chunk when the label already
    // says so; the press is for a fresh run, not for the one ending.
    shell.worker.StopAndWait(kStoppedRunWaitMs);
  }
  shell.worker.Start(shell.batchJob);
}

void StopBatch(Shell& shell) {
  if (shell.worker.IsRunning()) {
    shell.worker.RequestStop();
  }
}

}  // namespace shell
