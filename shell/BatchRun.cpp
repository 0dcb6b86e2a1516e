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

class WindowBatchHost final : public tempo::BatchHost {
 public:
  WindowBatchHost(Shell& shell, const std::atomic<bool>& stopRequested)
      : shell_(shell), stopRequested_(stopRequested) {}

  int RowCount() override {
    int count = 0;
    OnMainThread([&] { count = platform::ListRowCount(shell_.trackList); });
    return count;
  }

  std::string RowPath(int row) override {
    std::string path;
    OnMainThread([&] {
      if (row < platform::ListRowCount(shell_.trackList)) {
        path = platform::ListItemText(shell_.trackList, row, 0);
      }
    });
    return path;
  }

  bool WriteTempi(int row, uint64_t generation, const std::string& primary, const std::string& alternative) override {
    // The check and the writes happen in one step on the main thread, so a reload
    // cannot slip in between them.
    bool written = false;
    OnMainThread([&] {
      if (generation != shell_.listGeneration.load() || row >= platform::ListRowCount(shell_.trackList)) {
        return;
      }
      platform::SetListItemText(shell_.trackList, row, 1, primary);
      platform::SetListItemText(shell_.trackList, row, 2, alternative);
      written = true;
    });
    return written;
  }

  void SetStatus(const std::string& text) override {
    OnMainThread([&] { SetWindowTextA(shell_.statusLabel, text.c_str()); });
  }

  uint64_t ListGeneration() override { return shell_.listGeneration.load(); }
  bool StopRequested() override { return stopRequested_.load(); }

 private:
  void OnMainThread(const std::function<void()>& work) { shell_.window->RunOnWindowThread(work); }

  Shell& shell_;
  const std::atomic<bool>& stopRequested_;
};

class WindowAnalysisHost final : public tempo::AnalysisHost {
 public:
  WindowAnalysisHost(Shell& shell, tempo::BatchHost& batch) : shell_(shell), batch_(batch) {}

  void Begin() { generation_ = batch_.ListGeneration(); }

  void SetProgress(int percent) override {
    shell_.window->RunOnWindowThread([&] { SendMessageA(shell_.progressBar, PBM_SETPOS, percent, 0); });
  }

  void PauseOneMs() override { Sleep(1); }

  // The worker owns no windows, so there is nothing of its own to poll.
  void PollEvents() override {}

  // Give up as soon as the result could no longer be used.
  bool ShouldStop() override { return batch_.StopRequested() || batch_.ListGeneration() != generation_; }

 private:
  Shell& shell_;
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

void RunBatchOnWorker(Shell& shell, const std::atomic<bool>& stopRequested) {
  FineTimerResolution timer;
  WindowBatchHost batch(shell, stopRequested);
  WindowAnalysisHost analysisHost(shell, batch);
  WindowAnalyser analyser(analysisHost);
  tempo::RunBatch(batch, analyser);
}

}  // namespace shell
