// Path texts in the ANSI code page: trailing backslashes and the program's own folder.
#pragma once

#include <string>

namespace platform {

// True when the last character (not merely the last byte, which in a double-byte
// code page can be the trail byte of another character) is a backslash.
bool EndsWithBackslash(const std::string& path);

// path with a backslash appended unless it already ends with one; "" stays "".
std::string WithTrailingBackslash(std::string path);

// The folder holding the running executable, ending in a backslash.
std::string ModuleFolder();

}  // namespace platform
