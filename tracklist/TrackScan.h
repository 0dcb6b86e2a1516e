// The folder scans behind "Load Folder" and "Load Folder Recursive", shared by the
// program and the command-line tool: which entries become rows, and in what order.
#pragma once

#include <string>
#include <string_view>

#include "tracklist/AudioExtensions.h"

namespace tracklist {

// The order of a folder's entries: as the system's listing gives them (the window's
// loads: NTFS lists by name without regard to case, FAT and most Linux file systems in
// an order of their own), or by name on every system (byte order of the UTF-8 names, so
// upper case before lower case), so two runs over the same tree list it alike.
enum class EntryOrder { kListing, kByName };

// Where the scans put what they find.
class TrackSink {
 public:
  virtual ~TrackSink() = default;
  virtual void AppendRow(const std::string& path) = 0;
  // Called once per entry of the recursive scan's second pass: one non-blocking turn
  // of the window system, so the window keeps painting during a long scan.
  virtual void TakeTurn() = 0;
  // A folder of the scan that could not be listed (denied, a path too long for the
  // system), with the system's reason; the scan goes on as if it were empty.
  virtual void FolderNotListed(const std::string& folder, const std::string& reason) = 0;
  // Whether a scan takes an entry of this name; the window's test unless a sink says otherwise.
  virtual bool TakesName(std::string_view name) { return PassesAudioNameTest(name); }
};

// The flat scan: the files directly in folder (which ends with a separator) that
// the sink takes by name, in listing order (or by name). A folder that cannot be listed
// is reported as shownName (folder itself when empty).
void ScanFolderInto(TrackSink& sink, const std::string& folder, std::string_view shownName = {},
                    EntryOrder order = EntryOrder::kListing);

// The recursive scan: every entry of a folder whose name the sink takes
// (folders included), then the sub-folders one by one, depth first. A folder that is
// already on the current descent path (a link back to an ancestor) is not entered
// again. Entries and sub-folders come in listing order, or by name. Always returns 1.
int ScanFolderTreeInto(TrackSink& sink, const std::string& path, int descend, EntryOrder order = EntryOrder::kListing);

// One path as the command line names it: a folder contributes its audio files as the
// flat scan (or, with recursive, the recursive scan) lists them; anything else is taken
// as a file, unchanged.
void CollectTracks(TrackSink& sink, const std::string& path, bool recursive, EntryOrder order);

}  // namespace tracklist
