// The tempo tag of audio files (the ID3v2 BPM frame of MP3 and WAV, the BPM field of the
// other containers): reading it, and writing it through TagLib into a copy that replaces
// the file only once it checks out.
#pragma once

#include <optional>
#include <string>

namespace tags {

// The whole number a BPM tag holds for an analysed tempo: the nearest integer, halves
// rounded up. No value when there is no tempo (or none that rounds to at least 1), so a
// file without a tempo never reaches WriteBpmTag.
std::optional<int> TagBpm(std::optional<double> bpm);

struct BpmTagRead {
  bool ok = false;
  std::string bpm;     // the file's BPM frame as it reads, "" when it has none
  std::string reason;  // why the file could not be read, when not ok
};

// The BPM an MP3's ID3v2 tag or a WAV's ID3 chunk holds. Opens the file read-only.
BpmTagRead ReadBpmTag(const std::string& path);

struct BpmTagOptions {
  bool dryRun = false;     // report what would happen, write nothing
  bool overwrite = false;  // replace a BPM the file already has
};

enum class BpmTagOutcome { Written, WouldWrite, SkippedExisting, Failed };

// "written", "would-write", "skipped-existing", "failed".
const char* BpmTagOutcomeName(BpmTagOutcome outcome);

struct BpmTagResult {
  BpmTagOutcome outcome = BpmTagOutcome::Failed;
  int bpm = 0;           // the value written, or that would be
  std::string existing;  // the BPM the file held before, "" when none
  std::string reason;    // why it failed
};

// Writes `bpm` as the file's BPM frame; every other frame, chunk and audio byte stays.
// A file that already has a BPM keeps it unless options.overwrite. A read-only file or
// folder, a file TagLib cannot read, or any failed step is a failure that leaves the
// original as it was: the tag is written into a copy in the same folder, the copy is
// checked, and only then does it replace the original in one rename.
BpmTagResult WriteBpmTag(const std::string& path, int bpm, const BpmTagOptions& options);

}  // namespace tags
