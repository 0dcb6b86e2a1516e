// Clipboard access through OpenClipboard / SetClipboardData, with the memory owned
// until the clipboard has taken it.
#include "platform/Clipboard.h"

#include <cstring>

namespace platform {

namespace {

// How long opening waits for another program to let go of the clipboard.
constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenRetryMs = 10;

// Locks global memory for as long as this object lives.
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
  ~LockedGlobal() {
    if (data_ != nullptr) {
      GlobalUnlock(memory_);
    }
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;

  void* Data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

}  // namespace

OpenClipboardScope::OpenClipboardScope(HWND owner) {
  for (int attempt = 0; attempt < kOpenAttempts && !open_; ++attempt) {
    if (attempt > 0) {
      Sleep(kOpenRetryMs);
    }
    open_ = OpenClipboard(owner) != FALSE;
  }
}

OpenClipboardScope::~OpenClipboardScope() {
  if (open_) {
    CloseClipboard();
  }
}

std::wstring WideFromAnsi(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (chars <= 0) {
    return {};
  }
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), chars);
  return wide;
}

bool PutTextOnClipboard(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) {
    return false;
  }
  {
    const LockedGlobal lock(memory.Get());
    if (lock.Data() == nullptr) {
      return false;
    }
    std::memcpy(lock.Data(), text.c_str(), bytes);
  }
  const OpenClipboardScope clipboard(owner);
  if (!clipboard.IsOpen() || !EmptyClipboard()) {
    return false;
  }
  if (SetClipboardData(CF_UNICODETEXT, memory.Get()) == nullptr) {
    return false;
  }
  memory.Release();  // the clipboard owns it now
  return true;
}

std::optional<std::wstring> ClipboardText(HWND owner) {
  const OpenClipboardScope clipboard(owner);
  if (!clipboard.IsOpen()) {
    return std::nullopt;
  }
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) {
    return std::nullopt;
  }
  const LockedGlobal lock(data);
  if (lock.Data() == nullptr) {
    return std::nullopt;
  }
  // The text ends at its terminator; the block may be larger than the text.
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  const auto* chars = static_cast<const wchar_t*>(lock.Data());
  size_t length = 0;
  while (length < capacity && chars[length] != L'\0') {
    ++length;
  }
  return std::wstring(chars, length);
}

}  // namespace platform
