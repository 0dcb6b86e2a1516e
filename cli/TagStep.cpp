// The tag step: from a result's shown bpm value to the file's BPM tag and its report.
#include "cli/TagStep.h"

#include "cli/Range.h"

namespace cli {

void TagFileOfResult(const std::string& path, const BpmTagOptions& options, TrackResult& result, TagCounts& counts) {
  result.tag.emplace();
  // The value as shown, so the tag agrees with the bpm column (127.50 gives 128).
  const std::optional<int> bpm = TagBpm(result.bpm ? ParseDecimal(*result.bpm) : std::nullopt);
  if (!bpm) return;
  const BpmTagResult written = WriteBpmTag(path, *bpm, options);
  TagReport& tag = *result.tag;
  tag.outcome = BpmTagOutcomeName(written.outcome);
  tag.bpm = std::to_string(written.bpm);
  tag.existing = written.existing;
  switch (written.outcome) {
    case BpmTagOutcome::Written:
    case BpmTagOutcome::WouldWrite:
      ++counts.written;
      break;
    case BpmTagOutcome::SkippedExisting:
      ++counts.skipped;
      break;
    case BpmTagOutcome::Failed:
      tag.error = written.reason.empty() ? std::string("unknown error") : written.reason;
      ++counts.failed;
      break;
  }
}

}  // namespace cli
