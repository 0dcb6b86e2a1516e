// The tempo tag of audio files (the ID3v2 BPM frame of MP3 and WAV, the BPM field of the
// other containers): reading it, and writing it through TagLib into a copy that replaces
// the file only once it checks out.
#pragma once

#include <optional>
#include <string>

#include "platform/FileReplace.h"

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

// Whether a BPM frame's text is a tempo: a plain decimal number (digits, at most one
// point; spaces around it allowed) from 20 to 400. "0", empty text, words and values
// outside that span are what taggers leave behind when they know no tempo, and count
// as no tag.
bool IsValidBpmText(const std::string& text);

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
  std::string existing;  // the BPM frame's text before, tempo or not; "" when none
  std::string reason;    // why it failed
};

// Writes `bpm` as the file's BPM frame; every other frame, chunk and audio byte stays.
// A file that already holds a tempo as its BPM (IsValidBpmText, in any of its tags or
// chunks) keeps it unless options.overwrite; any other text there is replaced. The file's
// tags are first walked without TagLib, and a file whose every byte the walk cannot
// account for is refused with its reason. A read-only file or folder, a file with other
// hard links (or on Windows a symbolic link), a file that is no longer the one `analysed`
// describes, or any failed step is a failure that leaves the
// original as it was: the tag is written into a copy in the same folder, the copy is
// proven to hold every other byte, and only then does it replace the original in one
// rename, the original's identity checked once more just before.
BpmTagResult WriteBpmTag(const std::string& path, int bpm, const BpmTagOptions& options,
                         const std::optional<platform::FileIdentity>& analysed = std::nullopt);

}  // namespace tags
