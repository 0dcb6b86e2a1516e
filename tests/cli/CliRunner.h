// Runs temposcout-cli as a user would: its arguments, standard input from a text,
// standard output and error captured, and its exit status.
#pragma once

#include <string>
#include <vector>

namespace clitest {

struct CliRun {
  int status = -1;
  std::string out;
  std::string errors;
  // Standard output split at line ends (LF, or CRLF).
  std::vector<std::string> Lines() const;
};

// The temposcout-cli built beside the test.
std::string CliProgram();

// Runs program with the arguments (no shell in between); `input` is its standard input.
// A process ended by a signal reports 128 + the signal number.
CliRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& input = std::string());

inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& input = std::string()) {
  return RunProgram(CliProgram(), arguments, input);
}

// The fields of a TSV line.
std::vector<std::string> SplitTabs(const std::string& line);

}  // namespace clitest
