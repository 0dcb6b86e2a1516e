// The standard streams and Ctrl-C of a command-line program: binary output, closed
// streams, terminals, write failures and the interrupt handler, per system.
#pragma once

#include <string>

namespace platform {

// The line end of text written in the system's own convention.
#ifdef _WIN32
inline constexpr const char* kSystemLineEnd = "\r\n";
#else
inline constexpr const char* kSystemLineEnd = "\n";
#endif

// Standard output carries bytes unchanged (no CRLF translation); a write to a closed
// pipe fails with an error rather than ending the process unseen; a closed standard
// input or error is opened on the null device, so the next file opened cannot take
// its place.
void PrepareStandardStreams();

// True when standard output is open.
bool StandardOutputIsOpen();

// True when standard error is a terminal.
bool StandardErrorIsTerminal();
// True when standard output is a terminal.
bool StandardOutputIsTerminal();
// True when standard output and standard error are the same terminal, where a record
// would run on from a progress line.
bool OutputSharesErrorTerminal();

// Standard input read as bytes (no CRLF translation, no end at Ctrl-Z).
void ReadStandardInputAsBytes();

// Why a write through the C runtime failed: errno and, on Windows, the system's code.
struct WriteFailure {
  int errorNumber = 0;
  unsigned long systemError = 0;
};

// Clears the error state before a write, so a failure after it reads only its own.
void ClearWriteFailure();
WriteFailure LastWriteFailure();
// True when the failure means that nobody reads the output any more (a closed pipe).
bool ReaderGone(const WriteFailure& failure);
std::string WriteFailureText(const WriteFailure& failure);

// Calls onInterrupt (from a signal handler or the console's own thread: it may only
// touch atomics) on Ctrl-C, SIGINT, or the console's Ctrl-Break.
void InstallInterruptHandler(void (*onInterrupt)());

// Calls onTerminate (under the same limits) when the process is told to end: SIGTERM or
// SIGHUP, or the console's close, logoff and shutdown events on Windows; the process then
// ends as the system would have ended it.
void InstallTerminationHandler(void (*onTerminate)());

// Why the file cannot be opened for reading ("" when it can): the system's reason, or
// "not a regular file" where opening it could wait for ever (a FIFO, a device).
std::string OpenFailure(const std::string& path);

}  // namespace platform
