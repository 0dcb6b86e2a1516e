// The clipboard: owners for the opened clipboard and for the global memory a text
// travels in, and placing text on it as CF_UNICODETEXT.
#pragma once

#include "platform/UniqueResource.h"

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { GlobalFree(h); }
};

// Global memory this program still owns; once the clipboard has taken it, Release().
using UniqueGlobal = UniqueResource<GlobalMemoryTraits>;

// The clipboard, open for owner while this object lives. Another program may hold it
// for a moment (a clipboard viewer reading what was just copied), so opening tries
// again for a short while before it gives up.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner);
  ~OpenClipboardScope();
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

  bool IsOpen() const { return open_; }

 private:
  bool open_ = false;
};

// The UTF-16 form of text in the process's ANSI code page, which the program's
// manifest makes UTF-8, so every name the window holds survives.
std::wstring WideFromAnsi(const std::string& text);

// Replaces what the clipboard holds with text as CF_UNICODETEXT (the system offers it
// as CF_TEXT too). False when the clipboard could not be opened or did not take it.
bool PutTextOnClipboard(HWND owner, const std::wstring& text);

// The clipboard's CF_UNICODETEXT, or nothing when it holds no text or cannot be opened.
std::optional<std::wstring> ClipboardText(HWND owner);

}  // namespace platform
