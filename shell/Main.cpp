// TempoScout's entry point: start-up step by step, the event loop, then shutdown.
#include "engine/EngineBinding.h"
#include "menuskin/MenuSkin.h"
#include "platform/PageOpener.h"
#include "platform/UiSession.h"
#include "shell/EventLoop.h"
#include "shell/MainWindow.h"
#include "shell/Shell.h"
#include "tempo/GainStage.h"

#include <windows.h>

namespace {

// Loads "bass.dll", then "bass_fx.dll". Start-up goes on whether or not they load:
// without them every analysis simply finds no tempo.
void LoadEngineLibraries() {
  engine::LoadEngine();
  engine::LoadEngineFx();
}

// Allocates the gain curve of the retry pass and builds it with (100, 0.05, 90).
void BuildGainCurveForRetries() {
  tempo::InitGainCurve();
}

// Installed while the window has neither menu bar nor controls.
void InstallMenuSkinOn(shell::Shell& shell) {
  InstallMenuSkin(shell.window->Handle());
}

void InitialiseEngineOn(shell::Shell& shell) {
  engine::BASS_Init(-1, 44100, 0, shell.window->Handle(), nullptr);
}

// Frees the engine (and with it every stream still open) and unloads both libraries.
void ReleaseEngine() {
  engine::FreeEngine();
  engine::UnloadEngineFx();
}

void ShutDown(shell::Shell& shell) {
  // The worker uses the engine, so a running batch is stopped before the engine
  // goes away; the wait serves the control updates the worker sends meanwhile.
  shell.worker.StopAndWait();
  ReleaseEngine();
  shell.window.reset();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  shell::Shell shell;
  shell.instance = instance;
  platform::UiSession session;
  platform::ShellPageOpener pageOpener;
  shell.pageOpener = &pageOpener;

  LoadEngineLibraries();
  BuildGainCurveForRetries();

  if (shell::OpenMainWindow(shell)) {
    InstallMenuSkinOn(shell);
    shell::PrepareForControls();
    shell::AttachMainMenu(shell);
    shell::CreateMainControls(shell);
    InitialiseEngineOn(shell);
    shell::RunEventLoop(shell);
  }

  ShutDown(shell);
  return 0;
}
