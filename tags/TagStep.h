// The tag step of a batch: a file's tempo written as its BPM tag, with a report of what
// became of it and the counts of the run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "tags/BpmTag.h"

namespace tags {

// What became of a file's BPM tag. All empty for a file that was not touched (no value).
struct TagReport {
  // "written", "would-write", "skipped-existing", "skipped-unsure" or "failed".
  std::string outcome;
  // The whole number for the tag.
  std::string bpm;
  // The BPM the file held before.
  std::string existing;
  // Why the tag could not be written.
  std::string error;
};

// What became of the BPM tags of one run.
struct TagCounts {
  bool dryRun = false;
  // Would be written, on a dry run.
  size_t written = 0;
  size_t skipped = 0;
  size_t failed = 0;
};

// Writes (or on a dry run, checks) the BPM tag of the file at `path` (the name as the
// system's 8-bit functions take it) with `shownBpm` (the tempo as its two-decimal display
// reads) rounded to a whole number, and counts what became of it. No tempo leaves the
// file untouched, with an empty report.
// `analysed` is the file's identity when its tempo was taken: a file changed since is
// not tagged.
TagReport TagFile(const std::string& path, std::optional<double> shownBpm, const BpmTagOptions& options,
                  TagCounts& counts, const std::optional<platform::FileIdentity>& analysed = std::nullopt);

// A file whose tempo is not sure enough to be written: it is left untouched and reported
// "skipped-unsure" with the whole number it would have got, and counted as skipped. No
// tempo gives an empty report, as in TagFile.
TagReport SkipUnsure(std::optional<double> shownBpm, TagCounts& counts);

}  // namespace tags
