// The batch driver: walks the track list on the worker thread, has each file analysed
// and writes its primary and alternative tempo into the row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tempo/TrackAnalysis.h"

namespace tempo {

// A file's result where the driver ends its analysis: the tempi as numbers and every
// pass that ran, the first pass first.
struct TrackTempi {
  // Beats per minute; 0 for none. The alternative is only given beside a primary.
  float primaryBpm = 0.0f;
  float alternativeBpm = 0.0f;
  std::vector<PassResult> passes;
};

// What the batch driver needs of the user interface. Every control read and write is
// carried out on the thread that owns the controls while the worker waits, so the
// list cannot change in the middle of one call.
class BatchHost {
 public:
  virtual ~BatchHost() = default;

  virtual int RowCount() = 0;
  // Column 0 of the row (empty when the row no longer exists).
  virtual std::string RowPath(int row) = 0;
  // Writes columns 1 and 2 of the row, unless the list was reloaded after `generation`:
  // then nothing is written and the result is false.
  virtual bool WriteTempi(int row, uint64_t generation, const std::string& primary, const std::string& alternative) = 0;
  // The whole result of the row, given where the driver would write the tempi: by
  // default the two tempi in their two-decimal display, through WriteTempi.
  virtual bool WriteResult(int row, uint64_t generation, const TrackTempi& tempi);
  virtual void SetStatus(const std::string& text) = 0;

  // Read directly from the worker, without waiting for the user interface.
  // A number that changes every time the list is cleared and refilled.
  virtual uint64_t ListGeneration() = 0;
  // True once the program wants the run to end (it is shutting down).
  virtual bool StopRequested() = 0;
};

// Analyses one file: `withGainStage` 0 on the first pass, 1 on the retry pass. It may
// give up early with empty text once the run is stopped or the list reloaded.
class TrackAnalyser {
 public:
  virtual ~TrackAnalyser() = default;
  virtual std::string Analyse(const std::string& path, int withGainStage) = 0;
  // The pass for row `row` of the list, whose path is `path`: by default Analyse, with
  // no engine error code.
  virtual PassResult AnalyseRow(int row, const std::string& path, int withGainStage);
};

// Runs one batch over the whole list and returns 0 when it is over. A reload of the
// list during the run discards the result in flight and starts again at row 0 of the
// new list; a stop request ends the run before the next write.
int RunBatch(BatchHost& host, TrackAnalyser& analyser);

}  // namespace tempo
