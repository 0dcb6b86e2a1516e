// The progress line and the closing summary on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "tags/TagStep.h"

namespace cli {

// Counts of one run, for the summary.
struct RunCounts {
  size_t files = 0;
  size_t analysed = 0;
  size_t noBeat = 0;
  size_t unreadable = 0;
  size_t foldersNotListed = 0;
  // Not analysed: they already carry a valid BPM tag (--skip-tagged).
  size_t skippedTagged = 0;
  // Present when tags are written.
  std::optional<tags::TagCounts> tags;
};

// Tenths as "12.3", without the locale's decimal point.
std::string FormatTenths(double value);

// "N files: A analysed (B without a beat), U unreadable, T s", plus the files skipped as
// already tagged and the folders that could not be listed when there were any, and the tags written (or that would be),
// skipped and failed when tags are written.
std::string SummaryText(const RunCounts& counts, double elapsedSeconds);

// The time the files left will take at the pace of those done so far: "about 40 s
// left", "about 3 min left", "about 2 h 05 min left"; empty before the first file is
// done and after the last.
std::string TimeLeftText(size_t done, size_t total, double elapsedSeconds);

// "D/T files, E s, R files/s", then the time left once there is a pace to go by.
std::string ProgressText(size_t done, size_t total, double elapsedSeconds);

// A line on standard error rewritten in place (with \r) while files are analysed, at
// most a few times a second; disabled, it writes nothing.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled);
  void Update(size_t done, size_t total);
  // Blanks the line, so that a message can be written on standard error.
  void Clear();
  double ElapsedSeconds() const;

 private:
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_{};
  size_t shownLength_ = 0;
};

}  // namespace cli
