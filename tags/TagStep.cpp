// The tag step: from a file's shown tempo to its BPM tag and the report of it.
#include "tags/TagStep.h"

namespace tags {

TagReport TagFile(const std::string& path, std::optional<double> shownBpm, const BpmTagOptions& options,
                  TagCounts& counts, const std::optional<platform::FileIdentity>& analysed) {
  TagReport tag;
  const std::optional<int> bpm = TagBpm(shownBpm);
  if (!bpm) return tag;
  const BpmTagResult written = WriteBpmTag(path, *bpm, options, analysed);
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
  return tag;
}

TagReport SkipUnsure(std::optional<double> shownBpm, TagCounts& counts) {
  TagReport tag;
  const std::optional<int> bpm = TagBpm(shownBpm);
  if (!bpm) return tag;
  tag.outcome = "skipped-unsure";
  tag.bpm = std::to_string(*bpm);
  ++counts.skipped;
  return tag;
}

}  // namespace tags
