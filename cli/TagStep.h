// The tag step of temposcout-cli: the range value of each result written as its file's
// BPM tag, as the result is written out.
#pragma once

#include <string>

#include "cli/BpmTag.h"
#include "cli/Progress.h"
#include "cli/ResultFormat.h"

namespace cli {

// Writes (or on a dry run, checks) the BPM tag of the file at `path` (the name as the
// system's 8-bit functions take it) with the result's bpm value rounded to a whole
// number, records what became of it in result.tag and counts it. A result without a
// bpm value leaves its file untouched, with an empty report.
void TagFileOfResult(const std::string& path, const BpmTagOptions& options, TrackResult& result, TagCounts& counts);

}  // namespace cli
