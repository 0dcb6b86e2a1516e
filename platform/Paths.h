// Path texts: the folder separator, trailing separators, the file name at the end of a
// path and the program's own folder. Texts are 8-bit, in the ANSI code page on Windows.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The separator between folder and entry names in the paths this layer hands out.
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

// path with the folder separator appended unless it already ends with one; "" stays "".
std::string WithTrailingSeparator(std::string path);

// What follows the last backslash or slash (the whole path when there is none). On
// Windows the separator is a whole character of the ANSI code page, never the trail
// byte of a double-byte one.
std::string_view FileNameOf(std::string_view path);

// The folder holding the running executable, ending in a separator; "" when unknown.
std::string ModuleFolder();

#ifdef _WIN32
// True when the last character (not merely the last byte, which in a double-byte
// code page can be the trail byte of another character) is a backslash.
bool EndsWithBackslash(const std::string& path);

// path with a backslash appended unless it already ends with one; "" stays "".
std::string WithTrailingBackslash(std::string path);

// FileNameOf in the given code page.
std::string_view FileNameOf(std::string_view path, unsigned codePage);
#endif

}  // namespace platform
