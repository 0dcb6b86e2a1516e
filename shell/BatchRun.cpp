// The worker side of a Find BPM run: the batch driver's and the analysis's view of the
// controls, every access carried out on the main thread while the worker waits.
#include "shell/BatchRun.h"

#include "platform/Controls.h"
#include "tempo/BatchDriver.h"
#include "tempo/TrackAnalysis.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <string>

namespace shell {

namespace {

constexpr DWORD kRebuildPollMs = 10;

class WindowBatchHost final : public tempo::BatchHost {
 public:
  WindowBatchHost(const BatchControls& controls, const std::atomic<bool>& stopRequested)
      : controls_(controls), stopRequested_(stopRequested) {}

  // Waits while a load is filling the list: the count of a half-built list would end
  // the run early. A stop request ends the wait with no rows.
  int RowCount() override {
    for (;;) {
      if (stopRequested_.load()) {
        return 0;
      }
      if (controls_.listRebuilding.load()) {
        Sleep(kRebuildPollMs);
        continue;
      }
      // Checked again on the main thread, in one step with the count, since a load
      // may begin between the check above and this call.
      bool rebuilding = false;
      int count = 0;
      OnMainThread([&] {
        rebuilding = controls_.listRebuilding.load();
        if (!rebuilding) {
          count = platform::ListRowCount(controls_.trackList);
        }
      });
      if (!rebuilding) {
        return count;
      }
    }
  }

  std::string RowPath(int row) override {
    std::string path;
    OnMainThread([&] {
      if (row < platform::ListRowCount(controls_.trackList)) {
        path = platform::ListItemText(controls_.trackList, row, 0);
      }
    });
    return path;
  }

  bool WriteTempi(int row, uint64_t generation, const std::string& primary, const std::string& alternative) override {
    // The check and the writes happen in one step on the main thread, so a reload
    // cannot slip in between them.
    bool written = false;
    OnMainThread([&] {
      if (generation != controls_.listGeneration.load() || row >= platform::ListRowCount(controls_.trackList)) {
        return;
      }
      platform::SetListItemText(controls_.trackList, row, 1, primary);
      platform::SetListItemText(controls_.trackList, row, 2, alternative);
      written = true;
    });
    return written;
  }

  void SetStatus(const std::string& text) override {
    OnMainThread([&] { SetWindowTextA(controls_.statusLabel, text.c_str()); });
    begunARow_ = true;
  }

  // Whether the run has begun work on a row: a run stopped before that (an empty
  // list, or a stop right at its start) has changed no control and shows nothing.
  bool BegunARow() const { return begunARow_; }

  uint64_t ListGeneration() override { return controls_.listGeneration.load(); }
  bool StopRequested() override { return stopRequested_.load(); }

 private:
  void OnMainThread(const std::function<void()>& work) { controls_.window.RunOnWindowThread(work); }

  const BatchControls& controls_;
  const std::atomic<bool>& stopRequested_;
  bool begunARow_ = false;
};

class WindowAnalysisHost final : public tempo::AnalysisHost {
 public:
  WindowAnalysisHost(const BatchControls& controls, tempo::BatchHost& batch) : controls_(controls), batch_(batch) {}

  void Begin() { generation_ = batch_.ListGeneration(); }

  void SetProgress(int percent) override {
    controls_.window.RunOnWindowThread([&] { SendMessageA(controls_.progressBar, PBM_SETPOS, percent, 0); });
  }

  void PauseOneMs() override { Sleep(1); }

  // The worker owns no windows, so there is nothing of its own to poll.
  void PollEvents() override {}

  // Give up as soon as the result could no longer be used.
  bool ShouldStop() override { return batch_.StopRequested() || batch_.ListGeneration() != generation_; }

 private:
  const BatchControls& controls_;
  tempo::BatchHost& batch_;
  uint64_t generation_ = 0;
};

class WindowAnalyser final : public tempo::TrackAnalyser {
 public:
  explicit WindowAnalyser(WindowAnalysisHost& host) : host_(host) {}

  std::string Analyse(const std::string& path, int withGainStage) override {
    host_.Begin();
    return tempo::AnalyseTrack(path, withGainStage, host_);
  }

 private:
  WindowAnalysisHost& host_;
};

// Sleep(1) lasts a whole scheduler tick (about 15.6 ms) unless the timer resolution is
// raised; the analysis pauses every 20 onsets, so the default would slow a run down
// many times over.
class FineTimerResolution {
 public:
  FineTimerResolution() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FineTimerResolution() {
    if (raised_) {
      timeEndPeriod(1);
    }
  }
  FineTimerResolution(const FineTimerResolution&) = delete;
  FineTimerResolution& operator=(const FineTimerResolution&) = delete;

 private:
  bool raised_;
};

}  // namespace

BatchControls BatchControlsOf(Shell& shell) {
  return {*shell.window,     shell.trackList,      shell.progressBar,
          shell.statusLabel, shell.listGeneration, shell.listRebuilding};
}

void RunBatchOnWorker(const BatchControls& controls, const std::atomic<bool>& stopRequested) {
  FineTimerResolution timer;
  WindowBatchHost batch(controls, stopRequested);
  WindowAnalysisHost analysisHost(controls, batch);
  WindowAnalyser analyser(analysisHost);
  tempo::RunBatch(batch, analyser);
  if (stopRequested.load() && batch.BegunARow()) {
    batch.SetStatus(kStoppedStatus);
  }
}

platform::WorkerThread::Job BatchJobFor(Shell& shell) {
  return [controls = BatchControlsOf(shell)](const std::atomic<bool>& stopRequested) {
    RunBatchOnWorker(controls, stopRequested);
  };
}

}  // namespace shell
