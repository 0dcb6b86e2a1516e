// Worker threads that run first passes ahead of the batch driver and the retry passes
// it asks for, one at a time.
#include "tempo/ParallelAnalyser.h"

#include <system_error>

#include "tempo/TempoText.h"

namespace tempo {

ParallelAnalyser::Pass ParallelAnalyser::DefaultPass() {
  return [](const std::string& path, int withGainStage, AnalysisHost& host, AnalysisState& state) {
    return AnalysePass(path, withGainStage, host, state);
  };
}

ParallelAnalyser::ParallelAnalyser(const std::vector<std::string>& paths, unsigned jobs, AnalysisHost& host,
                                   AnalysisState& retryState, Pass pass)
    : paths_(paths),
      retryState_(retryState),
      pass_(std::move(pass)),
      host_(host, cancelled_),
      firstResults_(paths.size()) {
  const size_t workers = jobs < paths.size() ? jobs : paths.size();
  if (workers <= 1) return;
  for (size_t i = 0; i < workers; ++i) {
    try {
      workers_.emplace_back(&ParallelAnalyser::Work, this);
    } catch (const std::system_error&) {
      // Fewer threads than asked for give the same results, only later.
      break;
    }
  }
}

ParallelAnalyser::~ParallelAnalyser() {
  Shutdown();
}

void ParallelAnalyser::Shutdown() {
  {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  workChanged_.notify_all();
  resultChanged_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

PassResult ParallelAnalyser::RunPass(const std::string& path, int withGainStage) {
  // A run that is ending only needs its workers to get through the list quickly.
  if (host_.ShouldStop()) return {};
  if (withGainStage != 0) return pass_(path, 1, host_, retryState_);
  // No gain stage: the state only carries the active flag, and each pass has its own.
  AnalysisState own;
  return pass_(path, 0, host_, own);
}

PassResult ParallelAnalyser::RunInline(const std::string& path, int withGainStage) {
  PassResult result = RunPass(path, withGainStage);
  if (withGainStage != 0 || FindsBeat(result.text)) ++filesDone_;
  return result;
}

void ParallelAnalyser::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    workChanged_.wait(
        lock, [this] { return cancelled_.load() || (retryPath_ && !retryTaken_) || nextFirstPass_ < paths_.size(); });
    if (cancelled_.load()) return;
    // A retry holds up the driver, and with it every line after it: it goes first.
    const bool retry = retryPath_ && !retryTaken_;
    const size_t row = retry ? 0 : nextFirstPass_++;
    // A copy: the driver drops its retry request when it gives up waiting.
    const std::string path = retry ? *retryPath_ : paths_[row];
    if (retry) retryTaken_ = true;
    lock.unlock();
    PassResult result = RunPass(path, retry ? 1 : 0);
    lock.lock();
    if (retry || FindsBeat(result.text)) ++filesDone_;
    if (retry) {
      retryResult_ = std::move(result);
    } else {
      firstResults_[row] = std::move(result);
    }
    resultChanged_.notify_all();
  }
}

void ParallelAnalyser::WaitUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) {
  while (!ready() && !cancelled_.load()) {
    resultChanged_.wait(lock);
    if (onWait_) {
      lock.unlock();
      onWait_();
      lock.lock();
    }
  }
}

std::string ParallelAnalyser::Analyse(const std::string& path, int withGainStage) {
  return RunInline(path, withGainStage).text;
}

PassResult ParallelAnalyser::AnalyseRow(int row, const std::string& path, int withGainStage) {
  if (workers_.empty()) return RunInline(path, withGainStage);
  std::unique_lock lock(mutex_);
  if (withGainStage == 0) {
    // The driver walks the list in order; a row out of that order is analysed here.
    if (row < 0 || static_cast<size_t>(row) != driverRow_ || driverRow_ >= paths_.size()) {
      lock.unlock();
      return RunInline(path, withGainStage);
    }
    ++driverRow_;
    const auto index = static_cast<size_t>(row);
    WaitUntil(lock, [&] { return firstResults_[index].has_value(); });
    PassResult result = firstResults_[index].value_or(PassResult{});
    firstResults_[index].reset();
    return result;
  }
  // The driver asks for a retry only once every file before this one is finished, and
  // waits for it: the retries run one at a time, in list order.
  retryPath_ = path;
  retryTaken_ = false;
  retryResult_.reset();
  workChanged_.notify_all();
  WaitUntil(lock, [&] { return retryResult_.has_value(); });
  PassResult result = retryResult_.value_or(PassResult{});
  retryPath_.reset();
  retryResult_.reset();
  return result;
}

}  // namespace tempo
