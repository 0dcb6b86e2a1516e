// Code page conversion over MultiByteToWideChar / WideCharToMultiByte on Windows.
#include "platform/TextEncoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

std::string AnsiToUtf8(const std::string& text) {
#ifdef _WIN32
  if (text.empty() || GetACP() == CP_UTF8) return text;
  const int inputLength = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, nullptr, 0);
  if (wideLength <= 0) return text;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, wide.data(), wideLength);
  const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return text;
  std::string utf8(static_cast<size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
  return utf8;
#else
  return text;
#endif
}

}  // namespace platform
