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
  // Present when tags are written.
  std::optional<tags::TagCounts> tags;
};

// Tenths as "12.3", without the locale's decimal point.
std::string FormatTenths(double value);

// "N files: A analysed (B without a beat), U unreadable, T s", plus the folders that
// could not be listed when there were any, and the tags written (or that would be),
// skipped and failed when tags are written.
std::string SummaryText(const RunCounts& counts, double elapsedSeconds);

// "D/T files, E s, R files/s".
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
