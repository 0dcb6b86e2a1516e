// Standard streams, write failures and SIGINT on POSIX systems.
#include "platform/Console.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

void (*interruptCallback)() = nullptr;

void (*terminateCallback)() = nullptr;

extern "C" void OnInterruptSignal(int) {
  if (interruptCallback != nullptr) interruptCallback();
}

extern "C" void OnTerminateSignal(int signalNumber) {
  if (terminateCallback != nullptr) terminateCallback();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void PrepareStandardStreams() {
  std::signal(SIGPIPE, SIG_IGN);
  // A closed standard input or error would be taken over by the next file opened,
  // and messages or list reads would go to an audio file.
  for (int fd : {STDIN_FILENO, STDERR_FILENO}) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = open("/dev/null", O_RDWR);
      if (opened != fd && opened >= 0) close(opened);
    }
  }
}

bool StandardOutputIsOpen() {
  return !(fcntl(STDOUT_FILENO, F_GETFD) == -1 && errno == EBADF);
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

bool StandardOutputIsTerminal() {
  return isatty(STDOUT_FILENO) != 0;
}

bool OutputSharesErrorTerminal() {
  struct stat out {};
  struct stat error {};
  if (!StandardOutputIsTerminal() || !StandardErrorIsTerminal()) return false;
  if (fstat(STDOUT_FILENO, &out) != 0 || fstat(STDERR_FILENO, &error) != 0) return false;
  return out.st_rdev == error.st_rdev;
}

void ReadStandardInputAsBytes() {}

void ClearWriteFailure() {
  errno = 0;
}

WriteFailure LastWriteFailure() {
  return {errno, 0};
}

bool ReaderGone(const WriteFailure& failure) {
  return failure.errorNumber == EPIPE;
}

std::string WriteFailureText(const WriteFailure& failure) {
  return failure.errorNumber != 0 ? std::strerror(failure.errorNumber) : "write error";
}

void InstallInterruptHandler(void (*onInterrupt)()) {
  interruptCallback = onInterrupt;
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  // Calls under way are restarted rather than failed with EINTR: the engine and the
  // output would take an interrupted read or write for a damaged file or a failed
  // write. A call that keeps waiting is ended by the caller's watchdog.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void InstallTerminationHandler(void (*onTerminate)()) {
  terminateCallback = onTerminate;
  struct sigaction action {};
  action.sa_handler = OnTerminateSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGHUP);
  for (int signalNumber : {SIGTERM, SIGHUP}) {
    // A signal ignored by whoever started us (nohup) stays ignored.
    struct sigaction previous {};
    if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signalNumber, &action, nullptr);
  }
}

std::string OpenFailure(const std::string& path) {
  // Opening a FIFO or a device could wait for ever; such a file is no audio file.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  return {};
}

}  // namespace platform
