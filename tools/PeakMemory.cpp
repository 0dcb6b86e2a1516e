// Runs a program, waits for it and reports its peak memory on standard error: the
// private memory it had committed (sampled from its address space while it ran) and the
// system's own peak pagefile usage and working set. Behind the README's memory figures.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// One argument as CommandLineToArgv reads it back: quoted, with backslashes doubled
// before a quote and before the closing quote.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

// Private memory the process has committed, whether it has touched it or not: what a
// Windows system charges against its commit limit.
uint64_t CommittedPrivateBytes(HANDLE process) {
  uint64_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  uintptr_t address = 0;
  while (VirtualQueryEx(process, reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      total += region.RegionSize;
    }
    const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (next <= address) {
      break;
    }
    address = next;
  }
  return total;
}

double Megabytes(uint64_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peak_memory PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) {
      commandLine += ' ';
    }
    commandLine += QuoteArgument(argv[i]);
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    std::fprintf(stderr, "peak_memory: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  CloseHandle(child.hThread);

  uint64_t peakCommitted = 0;
  PROCESS_MEMORY_COUNTERS peaks{};
  auto sample = [&] {
    peakCommitted = std::max(peakCommitted, CommittedPrivateBytes(child.hProcess));
    PROCESS_MEMORY_COUNTERS now{};
    if (GetProcessMemoryInfo(child.hProcess, &now, sizeof now)) {
      peaks.PeakPagefileUsage = std::max(peaks.PeakPagefileUsage, now.PeakPagefileUsage);
      peaks.PeakWorkingSetSize = std::max(peaks.PeakWorkingSetSize, now.PeakWorkingSetSize);
    }
  };
  do {
    sample();
  } while (WaitForSingleObject(child.hProcess, 50) == WAIT_TIMEOUT);
  // Windows keeps the peaks of a process that has ended for as long as a handle is open.
  sample();

  DWORD exitCode = 0;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hProcess);
  std::fprintf(stderr,
               "peak_memory: exit %lu, committed private %.1f MB, PeakPagefileUsage %.1f MB, "
               "PeakWorkingSetSize %.1f MB\n",
               exitCode, Megabytes(peakCommitted), Megabytes(peaks.PeakPagefileUsage),
               Megabytes(peaks.PeakWorkingSetSize));
  return static_cast<int>(exitCode);
}
