// Progress and summary texts on standard error.
#include "cli/Progress.h"

#include <cmath>
#include <cstdio>

namespace cli {

std::string FormatTenths(double value) {
  const long long tenths = std::llround(value * 10.0);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string SummaryText(const RunCounts& counts, double elapsedSeconds) {
  std::string text = std::to_string(counts.files) + (counts.files == 1 ? " file: " : " files: ") +
                     std::to_string(counts.analysed) + " analysed (" + std::to_string(counts.noBeat) +
                     " without a beat), " + std::to_string(counts.unreadable) + " unreadable";
  if (counts.skippedTagged > 0) text += ", " + std::to_string(counts.skippedTagged) + " skipped as already tagged";
  if (counts.foldersNotListed > 0) {
    text += ", " + std::to_string(counts.foldersNotListed) + (counts.foldersNotListed == 1 ? " folder" : " folders") +
            " not listed";
  }
  if (counts.tags) {
    text += ", tags: " + std::to_string(counts.tags->written) +
            (counts.tags->dryRun ? " would be written, " : " written, ") + std::to_string(counts.tags->skipped) +
            " skipped, " + std::to_string(counts.tags->failed) + " failed";
  }
  return text + ", " + FormatTenths(elapsedSeconds) + " s";
}

std::string TimeLeftText(size_t done, size_t total, double elapsedSeconds) {
  if (done == 0 || done >= total || !(elapsedSeconds > 0.0)) return {};
  const double secondsLeft = elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done);
  // Rounded up, so the last seconds never read "about 0 s".
  const long long seconds = static_cast<long long>(std::ceil(secondsLeft));
  if (seconds < 60) return "about " + std::to_string(seconds) + " s left";
  const long long minutes = std::llround(secondsLeft / 60.0);
  if (minutes < 60) return "about " + std::to_string(minutes) + " min left";
  const std::string tens = minutes % 60 < 10 ? "0" : "";
  return "about " + std::to_string(minutes / 60) + " h " + tens + std::to_string(minutes % 60) + " min left";
}

std::string ProgressText(size_t done, size_t total, double elapsedSeconds) {
  const double rate = elapsedSeconds > 0.0 ? static_cast<double>(done) / elapsedSeconds : 0.0;
  std::string text = std::to_string(done) + "/" + std::to_string(total) + " files, " + FormatTenths(elapsedSeconds) +
                     " s, " + FormatTenths(rate) + " files/s";
  const std::string left = TimeLeftText(done, total, elapsedSeconds);
  return left.empty() ? text : text + ", " + left;
}

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void ProgressLine::Update(size_t done, size_t total) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done != total && now - lastShown_ < std::chrono::milliseconds(250)) return;
  lastShown_ = now;
  const std::string text = ProgressText(done, total, ElapsedSeconds());
  // Spaces cover the rest of a longer line shown before.
  const size_t padding = shownLength_ > text.size() ? shownLength_ - text.size() : 0;
  std::fprintf(stderr, "\r%s%s", text.c_str(), std::string(padding, ' ').c_str());
  std::fflush(stderr);
  shownLength_ = text.size();
}

void ProgressLine::Clear() {
  if (!enabled_ || shownLength_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(shownLength_, ' ').c_str());
  std::fflush(stderr);
  shownLength_ = 0;
}

double ProgressLine::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace cli
