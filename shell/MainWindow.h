// The main window: its title, menu bar, four controls and their layout.
#pragma once

#include "platform/Controls.h"
#include "platform/FrameWindow.h"
#include "shell/Shell.h"

#include <vector>

namespace shell {

inline constexpr char kWindowTitle[] = "TempoScout FREEWARE  v0.1";
inline constexpr char kWindowClass[] = "TempoScoutMainWindow";
inline constexpr int kIconResourceId = 1;

inline constexpr int kTrackListId = 0;
inline constexpr int kFindBpmButtonId = 1;
inline constexpr int kProgressBarId = 3;
inline constexpr int kStatusLabelId = 4;

inline constexpr int kLoadFileCommand = 1;
inline constexpr int kLoadFolderCommand = 2;
inline constexpr int kLoadFolderRecursiveCommand = 3;
inline constexpr int kGotoWebPageCommand = 4;
inline constexpr int kMakerPageCommand = 5;
inline constexpr int kQuitCommand = 6;
inline constexpr int kHelpCommand = 7;

struct ControlLayout {
  platform::ControlRect trackList;
  platform::ControlRect findBpmButton;
  platform::ControlRect progressBar;
  platform::ControlRect statusLabel;
  int fileColumnWidth = 0;
  int bpmColumnWidth = 0;
};

// Positions for inner width W and inner height H (client height plus one menu-bar line).
ControlLayout LayOutControls(platform::InnerSize inner);

std::vector<platform::MenuTitle> MainMenu();

// Opens the window, shown maximised; false when it cannot be created.
bool OpenMainWindow(Shell& shell);
// Registers the control classes the window is about to hold.
void PrepareForControls();
void AttachMainMenu(Shell& shell);
// Creates the four controls once, from the window's size at this moment.
void CreateMainControls(Shell& shell);

}  // namespace shell
