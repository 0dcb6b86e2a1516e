// The output writer: one record per result, flushed as soon as it is complete, so a
// script reading the pipe sees each file as it is done.
#include "cli/ResultWriter.h"

#include "platform/Console.h"

namespace cli {

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

void ResultWriter::Write(const std::string& record) {
  if (state_ != State::kWriting) return;
  if (terminal_ && !record.empty() && beforeOutput_) beforeOutput_();
  const std::string text = terminal_ ? TerminalSafe(record, LineEnd(format_)) : record;
  platform::ClearWriteFailure();
  const bool written =
      std::fwrite(text.data(), 1, text.size(), out_) == text.size() && std::fflush(out_) == 0 && std::ferror(out_) == 0;
  if (written) return;
  failure_ = platform::LastWriteFailure();
  state_ = platform::ReaderGone(failure_) ? State::kReaderGone : State::kFailed;
}

std::string ResultWriter::FailureText() const {
  return platform::WriteFailureText(failure_);
}

}  // namespace cli
