// Paths as UTF-8 for the output: the program's ANSI code page converted on Windows.
#pragma once

#include <string>

namespace platform {

// The text in the program's code page as UTF-8: unchanged where the code page already
// is UTF-8 (outside Windows, and on Windows with the program's manifest).
std::string AnsiToUtf8(const std::string& text);

}  // namespace platform
