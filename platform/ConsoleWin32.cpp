// Standard streams, write failures and the console's Ctrl-C on Windows.
#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

void (*interruptCallback)() = nullptr;
void (*terminateCallback)() = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (interruptCallback != nullptr) interruptCallback();
  return TRUE;
}

// The process ends once this returns FALSE (the system's own handler comes next).
BOOL WINAPI OnConsoleEnd(DWORD event) {
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
  if (terminateCallback != nullptr) terminateCallback();
  return FALSE;
}

}  // namespace

void PrepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
}

bool StandardOutputIsOpen() {
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool StandardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

bool StandardOutputIsTerminal() {
  return _isatty(_fileno(stdout)) != 0;
}

// A process has one console: two console handles show on the same one.
bool OutputSharesErrorTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
         GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

void ReadStandardInputAsBytes() {
  // Text mode would turn CRLF into LF and stop at a Ctrl-Z byte.
  _setmode(_fileno(stdin), _O_BINARY);
}

void ClearWriteFailure() {
  errno = 0;
  SetLastError(0);
}

WriteFailure LastWriteFailure() {
  const int errorNumber = errno;
  return {errorNumber, GetLastError()};
}

bool ReaderGone(const WriteFailure& failure) {
  // A closed pipe is ERROR_NO_DATA (reader closed its end) or ERROR_BROKEN_PIPE; the C
  // runtime turns the first into EINVAL.
  return failure.systemError == ERROR_NO_DATA || failure.systemError == ERROR_BROKEN_PIPE ||
         failure.errorNumber == EPIPE;
}

std::string WriteFailureText(const WriteFailure& failure) {
  if (failure.errorNumber != 0) return std::strerror(failure.errorNumber);
  return "system error " + std::to_string(failure.systemError);
}

void InstallInterruptHandler(void (*onInterrupt)()) {
  interruptCallback = onInterrupt;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void InstallTerminationHandler(void (*onTerminate)()) {
  terminateCallback = onTerminate;
  SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
}

std::string OpenFailure(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  return {};
}

}  // namespace platform
