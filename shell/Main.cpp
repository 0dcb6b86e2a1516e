// TempoScout's entry point: start-up step by step, the event loop, then shutdown.
#include "engine/EngineSession.h"
#include "menuskin/MenuSkin.h"
#include "platform/PageOpener.h"
#include "platform/UiSession.h"
#include "shell/BatchRun.h"
#include "shell/EventLoop.h"
#include "shell/MainWindow.h"
#include "shell/Shell.h"
#include "tempo/GainStage.h"

#include <windows.h>

namespace {

// How long shutdown waits for a running batch to stop. A stopped analysis gives up
// within one chunk; a worker still running after this is stuck inside an engine call.
constexpr DWORD kWorkerStopWaitMs = 3000;

// Allocates the gain curve of the retry pass and builds it with (100, 0.05, 90).
void BuildGainCurveForRetries() {
  tempo::InitGainCurve();
}

// Installed while the window has neither menu bar nor controls.
void InstallMenuSkinOn(shell::Shell& shell) {
  InstallMenuSkin(shell.window->Handle());
}

// Opens the main window with its skin, menu bar and controls, initialises the engine on
// it and runs the event loop; returns at once when the window cannot be opened.
void RunMainWindow(shell::Shell& shell, engine::EngineSession& engineSession) {
  if (!shell::OpenMainWindow(shell)) {
    return;
  }
  InstallMenuSkinOn(shell);
  shell::PrepareForControls();
  shell::AttachMainMenu(shell);
  shell::CreateMainControls(shell);
  shell.batchJob = shell::BatchJobFor(shell);
  engineSession.Initialise(shell.window->Handle());
  shell::RunEventLoop(shell);
  // The user has asked to leave: the window goes at once, even while shutdown still
  // waits for a running batch.
  ShowWindow(shell.window->Handle(), SW_HIDE);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  shell::Shell shell;
  shell.instance = instance;
  platform::UiSession session;
  platform::ShellPageOpener pageOpener;
  shell.pageOpener = &pageOpener;

  {
    // Loads "bass.dll", then "bass_fx.dll". Start-up goes on whether or not they load:
    // without them every analysis simply finds no tempo.
    engine::EngineSession engineSession;
    BuildGainCurveForRetries();
    RunMainWindow(shell, engineSession);

    // The worker uses the engine, so a running batch is stopped before the session
    // frees the engine (with every stream still open) and unloads both libraries; the
    // wait serves the control updates the worker sends meanwhile.
    if (!shell.worker.StopAndWait(kWorkerStopWaitMs)) {
      // The worker is stuck inside the engine (a dead network share, a hung device).
      // Freeing the engine under it, or letting the libraries' unload code wait for
      // locks it holds, could hang for ever. Nothing is saved, so ending the process
      // here, without any clean-up, loses nothing.
      TerminateProcess(GetCurrentProcess(), 0);
    }
  }
  shell.window.reset();
  return 0;
}
