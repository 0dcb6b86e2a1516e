// Helpers of the test suites: a scratch folder, read-only marks, external tools, and
// reading an engine stream to its end through the engine's C API; with the generated
// audio of testaudio/.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testaudio/TestAudio.h"

namespace testaudio {

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Sets or clears a file's read-only mark through the system's 8-bit file functions, as the
// tag writer sees names.
void SetReadOnly(const std::string& path, bool readOnly);

// Debian's python3, which the setup script gives python3-mutagen.
inline constexpr char kPython[] = "/usr/bin/python3";
// True when the tools are on the path (never under Wine).
bool HaveTool(const char* name);
int RunCommand(const std::string& command);

// Everything a stream delivers, read `requestBytes` at a time until it is no longer
// active; fails the test if it does not end within `maxReads` reads.
std::vector<int16_t> ReadToEnd(uint32_t stream, uint32_t requestBytes, size_t maxReads = 100000000);

}  // namespace testaudio
