// Writes the results to standard output in list order, and notices when writing fails.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "cli/ResultFormat.h"
#include "platform/Console.h"

namespace cli {

class ResultWriter {
 public:
  enum class State {
    kWriting,
    // The reader went away (a closed pipe): not an error worth a message.
    kReaderGone,
    kFailed,
  };

  ResultWriter(std::FILE* out, OutputFormat format, const Columns& columns);

  // A step run on each result just before its record is written: in list order, one
  // result at a time, and only while the output is still being written.
  using BeforeWrite = std::function<void(size_t index, TrackResult& result)>;
  void SetBeforeWrite(BeforeWrite step) { beforeWrite_ = std::move(step); }

  // Output on a terminal: control characters shown as \xHH, and `beforeOutput` (when
  // set) run before each write, to clear a progress line on the same terminal.
  void SetTerminal(std::function<void()> beforeOutput) {
    terminal_ = true;
    beforeOutput_ = std::move(beforeOutput);
  }

  // The header row of formats that have one.
  void Start();
  // Result `index` of the list (counting from 0). Records are written in list order:
  // a result is held until every result before it has been written.
  void EmitResult(size_t index, TrackResult result);
  // Flushes and checks what was written.
  void Finish();

  State state() const { return state_; }
  // The system's reason for kFailed.
  std::string FailureText() const;

 private:
  void Write(const std::string& text);

  std::FILE* out_;
  OutputFormat format_;
  Columns columns_;
  BeforeWrite beforeWrite_;
  bool terminal_ = false;
  std::function<void()> beforeOutput_;
  std::map<size_t, TrackResult> pending_;
  size_t nextIndex_ = 0;
  State state_ = State::kWriting;
  platform::WriteFailure failure_;
};

}  // namespace cli
