// Batch driver: one row after another, the analysis result turned into two tempi.
#include "tempo/BatchDriver.h"

#include "platform/Paths.h"
#include "tempo/TempoText.h"

namespace tempo {

bool BatchHost::WriteResult(int row, uint64_t generation, const TrackTempi& tempi) {
  return WriteTempi(row, generation, FormatTempo(tempi.primaryBpm), FormatTempo(tempi.alternativeBpm));
}

PassResult TrackAnalyser::AnalyseRow(int, const std::string& path, int withGainStage) {
  return {Analyse(path, withGainStage), 0};
}

int RunBatch(BatchHost& host, TrackAnalyser& analyser) {
  int row = 0;
  uint64_t generation = host.ListGeneration();
  for (;;) {
    if (host.StopRequested()) return 0;
    const uint64_t listGeneration = host.ListGeneration();
    if (listGeneration != generation) {
      // Reloaded since the run began or since the last row: start over on the new list.
      generation = listGeneration;
      row = 0;
    }
    // The row count is read anew before every row; a reload between these reads is
    // caught by the check after the path is read.
    const int count = host.RowCount();
    if (row > count - 1) return 0;
    const std::string path = host.RowPath(row);
    if (host.ListGeneration() != generation) continue;

    const std::string name(platform::FileNameOf(path));
    host.SetStatus("Calculating " + name);

    TrackTempi tempi;
    tempi.passes.push_back(analyser.AnalyseRow(row, path, 0));
    if (!FindsBeat(tempi.passes.back().text) && !host.StopRequested() && host.ListGeneration() == generation) {
      // No beat found: try once more with the gain stage lifting quiet material.
      tempi.passes.push_back(analyser.AnalyseRow(row, path, 1));
    }
    const std::string& result = tempi.passes.back().text;
    if (auto primaryMs = FieldPeriodMs(ResultField(result, 1))) {
      tempi.primaryBpm = TempoFromPeriod(*primaryMs);
      if (auto alternativeMs = FieldPeriodMs(ResultField(result, 2))) {
        tempi.alternativeBpm = TempoFromPeriod(*alternativeMs);
      }
    }

    if (host.StopRequested()) return 0;
    if (!host.WriteResult(row, generation, tempi)) {
      // The list was reloaded while this file was analysed: its result belongs to no
      // row of the new list.
      generation = host.ListGeneration();
      row = 0;
      continue;
    }
    host.SetStatus(name + " done");
    ++row;
  }
}

}  // namespace tempo
