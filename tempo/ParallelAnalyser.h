// The analysis passes of a whole list on several threads, for the batch driver that
// still walks the list one row after another: results as one thread would give them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tempo/AnalysisState.h"
#include "tempo/BatchDriver.h"
#include "tempo/TrackAnalysis.h"

namespace tempo {

// A file's result depends on nothing but the file, except on the retry pass: the gain
// stage leaves its curve slope to the next retry pass, so retry passes must see the
// slopes in list order. First passes (no gain stage) therefore run ahead on worker
// threads, in any order and each on a state of its own; a retry pass runs on the one
// retry state when the driver asks for it, which is after every file before it has
// finished, and no two retry passes ever overlap.
class ParallelAnalyser final : public TrackAnalyser {
 public:
  // One pass over a file, as AnalysePass on a state of the caller's own.
  using Pass =
      std::function<PassResult(const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state)>;

  // `paths` is the list the driver walks, row by row from the first; it must outlive
  // this object. At most `jobs` passes run at once; with 1 (or a single file) every pass
  // runs on the driver's thread when it is asked for. `host` is used by every thread at
  // once; ShouldStop also becomes true once this object shuts down. `retryState` holds
  // the gain curve the retry passes adapt.
  ParallelAnalyser(const std::vector<std::string>& paths, unsigned jobs, AnalysisHost& host, AnalysisState& retryState,
                   Pass pass = DefaultPass());
  ~ParallelAnalyser() override;
  ParallelAnalyser(const ParallelAnalyser&) = delete;
  ParallelAnalyser& operator=(const ParallelAnalyser&) = delete;

  // The result of the pass for the driver's next row (withGainStage 0) or again for
  // the same row (1). Waits for a first pass started ahead; runs or hands out a retry.
  // Any other row is analysed on the calling thread.
  PassResult AnalyseRow(int row, const std::string& path, int withGainStage) override;
  // A pass outside the list's walk, run on the calling thread.
  std::string Analyse(const std::string& path, int withGainStage) override;

  // Files whose result is final: the first pass found a beat, or the retry pass ran.
  size_t FilesDone() const { return filesDone_.load(); }

  // Called on the driver's thread whenever it wakes while waiting for a pass.
  void SetWaitCallback(std::function<void()> callback) { onWait_ = std::move(callback); }

  // Starts no further pass, asks the running ones to give up and waits for the threads.
  void Shutdown();

  // The number of worker threads running passes ahead (0: everything on the driver's thread).
  size_t WorkerCount() const { return workers_.size(); }

  static Pass DefaultPass();

 private:
  // The host the passes see: the caller's, and a stop once this object shuts down.
  class CancellableHost final : public AnalysisHost {
   public:
    CancellableHost(AnalysisHost& outer, const std::atomic<bool>& cancelled) : outer_(outer), cancelled_(cancelled) {}
    void SetProgress(int percent) override { outer_.SetProgress(percent); }
    void PauseOneMs() override { outer_.PauseOneMs(); }
    void PollEvents() override { outer_.PollEvents(); }
    bool ShouldStop() override { return cancelled_.load() || outer_.ShouldStop(); }

   private:
    AnalysisHost& outer_;
    const std::atomic<bool>& cancelled_;
  };

  void Work();
  PassResult RunPass(const std::string& path, int withGainStage);
  PassResult RunInline(const std::string& path, int withGainStage);
  void WaitUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready);

  const std::vector<std::string>& paths_;
  AnalysisState& retryState_;
  Pass pass_;
  std::atomic<bool> cancelled_{false};
  CancellableHost host_;
  std::atomic<size_t> filesDone_{0};
  std::function<void()> onWait_;

  std::mutex mutex_;
  // Workers wait here for a pass to start; the driver waits here for a result.
  std::condition_variable workChanged_;
  std::condition_variable resultChanged_;
  std::vector<std::optional<PassResult>> firstResults_;
  size_t nextFirstPass_ = 0;
  // The row of the driver's last first-pass request.
  size_t driverRow_ = 0;
  // The retry the driver waits for; taken by the first worker free.
  std::optional<std::string> retryPath_;
  bool retryTaken_ = false;
  std::optional<PassResult> retryResult_;
  std::vector<std::thread> workers_;
};

}  // namespace tempo
