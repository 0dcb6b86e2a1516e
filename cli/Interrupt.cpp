// Interrupt handling: a flag set by the signal or console handler, and a watchdog
// thread that ends the process when the batch cannot notice the flag (it waits inside
// the engine or the system).
#include "cli/Interrupt.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Console.h"
#include "platform/FileReplace.h"

namespace cli {

namespace {

std::atomic<int> interruptCount{0};
std::atomic<bool> runFinished{false};

constexpr auto kGracePeriod = std::chrono::milliseconds(1000);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// Every result line has been flushed when it was written, so nothing is lost here; a
// tag copy in progress is removed before the process ends, however large it is.
[[noreturn]] void EndInterrupted() {
  platform::RemoveCopiesInProgress();
  std::_Exit(kInterruptedStatus);
}

void OnInterrupt() {
  if (interruptCount.fetch_add(1) > 0) EndInterrupted();
}

void Watch() {
  while (interruptCount.load() == 0) std::this_thread::sleep_for(kPollInterval);
  const auto deadline = std::chrono::steady_clock::now() + kGracePeriod;
  while (std::chrono::steady_clock::now() < deadline) {
    if (runFinished.load()) return;
    std::this_thread::sleep_for(kPollInterval);
  }
  if (!runFinished.load()) EndInterrupted();
}

}  // namespace

void InstallInterruptHandling() {
  platform::InstallInterruptHandler(OnInterrupt);
  platform::InstallTerminationHandler(platform::RemoveCopiesInProgress);
  std::thread(Watch).detach();
}

bool Interrupted() {
  return interruptCount.load() > 0;
}

void MarkRunFinished() {
  runFinished = true;
}

}  // namespace cli
