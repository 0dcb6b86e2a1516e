// The output writer: one record per result, flushed as soon as it is complete, so a
// script reading the pipe sees each file as it is done.
#include "cli/ResultWriter.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace cli {

namespace {

// True when a failed write means that nobody reads the output any more.
bool ReaderGone([[maybe_unused]] int errorNumber, [[maybe_unused]] unsigned long systemError) {
#ifdef _WIN32
  // A closed pipe is ERROR_NO_DATA (reader closed its end) or ERROR_BROKEN_PIPE; the C
  // runtime turns the first into EINVAL.
  return systemError == ERROR_NO_DATA || systemError == ERROR_BROKEN_PIPE || errorNumber == EPIPE;
#else
  return errorNumber == EPIPE;
#endif
}

}  // namespace

ResultWriter::ResultWriter(std::FILE* out, OutputFormat format, const Columns& columns)
    : out_(out), format_(format), columns_(columns) {}

void ResultWriter::Start() {
  Write(FormatHeader(format_, columns_));
}

void ResultWriter::EmitResult(size_t index, TrackResult result) {
  pending_.emplace(index, std::move(result));
  for (auto next = pending_.find(nextIndex_); next != pending_.end(); next = pending_.find(nextIndex_)) {
    if (beforeWrite_ && state_ == State::kWriting) beforeWrite_(nextIndex_, next->second);
    Write(FormatRecord(format_, columns_, next->second));
    pending_.erase(next);
    ++nextIndex_;
  }
}

void ResultWriter::Finish() {
  Write(std::string());
}

void ResultWriter::Write(const std::string& text) {
  if (state_ != State::kWriting) return;
  errno = 0;
#ifdef _WIN32
  SetLastError(0);
#endif
  const bool written =
      std::fwrite(text.data(), 1, text.size(), out_) == text.size() && std::fflush(out_) == 0 && std::ferror(out_) == 0;
  if (written) return;
  errorNumber_ = errno;
  unsigned long systemError = 0;
#ifdef _WIN32
  systemError = GetLastError();
  systemError_ = systemError;
#endif
  state_ = ReaderGone(errorNumber_, systemError) ? State::kReaderGone : State::kFailed;
}

std::string ResultWriter::FailureText() const {
  if (errorNumber_ != 0) return std::strerror(errorNumber_);
#ifdef _WIN32
  return "system error " + std::to_string(systemError_);
#else
  return "write error";
#endif
}

}  // namespace cli
