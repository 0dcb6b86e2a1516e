// The three loading commands and the folder scans behind them.
#include "shell/TrackCollection.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "tracklist/TrackScan.h"

namespace shell {

namespace {

// The scans' rows go into the track list; the recursive scan's turns go to the window,
// and whatever the user asked for meanwhile (close, "Quit", Find BPM) is dropped on
// purpose: the event a turn yields is never carried out.
class TrackListSink final : public tracklist::TrackSink {
 public:
  explicit TrackListSink(Shell& shell) : shell_(shell) {}
  void AppendRow(const std::string& path) override { platform::AppendListRow(shell_.trackList, path); }
  void TakeTurn() override { shell_.window->TakeTurn(); }
  // The window lists what it can and says nothing of the rest.
  void FolderNotListed(const std::string&, const std::string&) override {}

 private:
  Shell& shell_;
};

// One load, from clearing the list until its last row is in: a run in progress waits
// for the whole new list meanwhile rather than walking the rows found so far.
class ListReload {
 public:
  explicit ListReload(Shell& shell) : shell_(shell) {
    shell_.listRebuilding.store(true);
    ClearTrackList(shell_);
  }
  ~ListReload() { shell_.listRebuilding.store(false); }
  ListReload(const ListReload&) = delete;
  ListReload& operator=(const ListReload&) = delete;

 private:
  Shell& shell_;
};

}  // namespace

void ClearTrackList(Shell& shell) {
  shell.listGeneration.fetch_add(1);
  platform::ClearList(shell.trackList);
}

void LoadFile(Shell& shell) {
  std::string chosen = platform::ChooseFileToOpen(shell.window->Handle(), kFileDialogTitle, kFileDialogFilter);
  if (chosen.empty()) {
    return;
  }
  shell.filePath = std::move(chosen);
  ListReload reload(shell);
  platform::AppendListRow(shell.trackList, shell.filePath);
}

void LoadFolder(Shell& shell) {
  std::string chosen = platform::ChooseFolder(shell.window->Handle(), kFolderDialogText);
  if (chosen.empty()) {
    return;
  }
  shell.folderPath = std::move(chosen);
  ListReload reload(shell);
  ScanFolder(shell, shell.folderPath);
}

void LoadFolderRecursive(Shell& shell) {
  std::string chosen = platform::ChooseFolder(shell.window->Handle(), kFolderDialogText);
  if (chosen.empty()) {
    return;
  }
  shell.folderPath = std::move(chosen);
  ListReload reload(shell);
  ScanFolderTree(shell, shell.folderPath, 1);
}

void ScanFolder(Shell& shell, const std::string& folder) {
  TrackListSink sink(shell);
  tracklist::ScanFolderInto(sink, folder);
}

int ScanFolderTree(Shell& shell, const std::string& path, int descend) {
  TrackListSink sink(shell);
  return tracklist::ScanFolderTreeInto(sink, path, descend);
}

}  // namespace shell
