// The folder scans behind "Load Folder" and "Load Folder Recursive", shared by the
// program and the command-line tool: which entries become rows, and in what order.
#pragma once

#include <string>
#include <string_view>

namespace shell {

// True when the last four characters, ignoring the case of a to z, are ".MP3" or ".WAV".
bool PassesAudioNameTest(std::string_view name);

// Where the scans put what they find.
class TrackSink {
 public:
  virtual ~TrackSink() = default;
  virtual void AppendRow(const std::string& path) = 0;
  // Called once per entry of the recursive scan's second pass: one non-blocking turn
  // of the window system, so the window keeps painting during a long scan.
  virtual void TakeTurn() = 0;
};

// The flat scan: the files directly in folder (which ends with a separator) that
// pass the audio-name test, in listing order.
void ScanFolderInto(TrackSink& sink, const std::string& folder);

// The recursive scan: every entry of a folder whose name passes the audio-name test
// (folders included), then the sub-folders one by one, depth first. A folder that is
// already on the current descent path (a link back to an ancestor) is not entered
// again. Always returns 1.
int ScanFolderTreeInto(TrackSink& sink, const std::string& path, int descend);

}  // namespace shell
