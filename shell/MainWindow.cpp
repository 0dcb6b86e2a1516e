// Creation of the main window, its menu bar and its controls.
#include "shell/MainWindow.h"

#include <commctrl.h>

namespace shell {

ControlLayout LayOutControls(platform::InnerSize inner) {
  const int w = inner.width;
  const int h = inner.height;
  ControlLayout layout;
  layout.trackList = {10, 10, w - 20, h - 80};
  layout.findBpmButton = {w - 200, h - 60, 100, 25};
  layout.progressBar = {w - 500, h - 60, 200, 25};
  layout.statusLabel = {w - 800, h - 60, 175, 25};
  // Integer division truncating toward zero, as C++ does; the three columns add up to
  // more than the list's width, so it scrolls sideways from the start.
  layout.fileColumnWidth = (w / 8) * 6;
  layout.bpmColumnWidth = w / 8;
  return layout;
}

std::vector<platform::MenuTitle> MainMenu() {
  const platform::MenuItem separator{};
  return {
      {"File",
       {{kLoadFileCommand, "Load File"},
        {kLoadFolderCommand, "Load Folder"},
        {kLoadFolderRecursiveCommand, "Load Folder Recursive"},
        separator,
        {kGotoWebPageCommand, "Goto WebPage"},
        {kMakerPageCommand, "Zarivuriz, Izar ovu Deduvedu"},
        separator,
        {kQuitCommand, "Quit"}}},
      {"About", {{kHelpCommand, "Help"}}},
  };
}

bool OpenMainWindow(Shell& shell) {
  platform::FrameDescription description;
  description.className = kWindowClass;
  description.title = kWindowTitle;
  description.x = 100;
  description.y = 150;
  description.clientWidth = 450;
  description.clientHeight = 200;
  description.style = WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MAXIMIZE;
  description.iconResourceId = kIconResourceId;
  shell.window = platform::FrameWindow::Create(shell.instance, description);
  return shell.window != nullptr;
}

void PrepareForControls() {
  platform::InitialiseCommonControls();
}

void AttachMainMenu(Shell& shell) {
  shell.window->AttachMenuBar(MainMenu());
}

void CreateMainControls(Shell& shell) {
  const HWND parent = shell.window->Handle();
  const ControlLayout layout = LayOutControls(shell.window->MeasureInner());

  shell.trackList =
      platform::CreateControl(parent, kTrackListId, WC_LISTVIEWA, "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL,
                              WS_EX_CLIENTEDGE, layout.trackList);
  platform::SetListViewExtendedStyle(shell.trackList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  platform::InsertListColumn(shell.trackList, 0, 0, "File", layout.fileColumnWidth);
  // Inserted at position 1 in turn, so "BPM (Primary)" ends up before "BPM (Alternative)".
  platform::InsertListColumn(shell.trackList, 1, 2, "BPM (Alternative)", layout.bpmColumnWidth);
  platform::InsertListColumn(shell.trackList, 1, 1, "BPM (Primary)", layout.bpmColumnWidth);

  shell.findBpmButton = platform::CreateControl(parent, kFindBpmButtonId, WC_BUTTONA, "Find BPM",
                                                WS_TABSTOP | BS_PUSHBUTTON, 0, layout.findBpmButton);
  shell.progressBar = platform::CreateControl(parent, kProgressBarId, PROGRESS_CLASSA, "", 0, 0, layout.progressBar);
  platform::SetProgressRange(shell.progressBar, 0, 100);
  shell.statusLabel = platform::CreateControl(parent, kStatusLabelId, WC_STATICA, "", SS_LEFT, 0, layout.statusLabel);
}

}  // namespace shell
