// Move-only owners for the GDI objects, memory contexts and window contexts that one
// drawing step creates, and a guard that puts back what a context held before.
#pragma once

#include <windows.h>

#include <utility>

namespace menuskin {

// Number of objects the owners below currently hold; lets tests see leaks even where
// the platform cannot count GDI objects per process.
int LiveScopedGdiCount();

namespace detail {
void NoteAcquired();
void NoteReleased();
}  // namespace detail

// Owns a brush, pen, font or bitmap created by the caller. Never give it a stock
// object: it would be deleted.
template <typename Handle>
class UniqueGdi {
 public:
  UniqueGdi() = default;
  explicit UniqueGdi(Handle handle) : handle_(handle) {
    if (handle_) detail::NoteAcquired();
  }
  UniqueGdi(const UniqueGdi&) = delete;
  UniqueGdi& operator=(const UniqueGdi&) = delete;
  UniqueGdi(UniqueGdi&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueGdi& operator=(UniqueGdi&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ~UniqueGdi() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Reset() {
    if (handle_) {
      DeleteObject(handle_);
      detail::NoteReleased();
      handle_ = nullptr;
    }
  }

 private:
  Handle handle_ = nullptr;
};

using UniqueBrush = UniqueGdi<HBRUSH>;
using UniquePen = UniqueGdi<HPEN>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBitmap = UniqueGdi<HBITMAP>;

// A memory context compatible with another context, deleted on destruction.
class MemDc {
 public:
  explicit MemDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {
    if (dc_) detail::NoteAcquired();
  }
  MemDc(const MemDc&) = delete;
  MemDc& operator=(const MemDc&) = delete;
  MemDc(MemDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  MemDc& operator=(MemDc&& other) noexcept {
    if (this != &other) {
      Reset();
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  ~MemDc() { Reset(); }

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  void Reset() {
    if (dc_) {
      DeleteDC(dc_);
      detail::NoteReleased();
      dc_ = nullptr;
    }
  }

  HDC dc_ = nullptr;
};

// The context of a whole window (GetWindowDC), released on destruction.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {
    if (dc_) detail::NoteAcquired();
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& other) noexcept {
    if (this != &other) {
      Reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  ~WindowDc() { Reset(); }

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  void Reset() {
    if (dc_) {
      ReleaseDC(window_, dc_);
      detail::NoteReleased();
      dc_ = nullptr;
    }
  }

  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// Selects an object into a context and selects the previous one back on
// destruction. Declare it after the object it selects, so that the object is
// selected out before its owner deletes it.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc) {
    if (dc_ && object) {
      HGDIOBJ previous = SelectObject(dc_, object);
      if (previous && previous != HGDI_ERROR) previous_ = previous;
    }
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  SelectGuard(SelectGuard&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
  SelectGuard& operator=(SelectGuard&&) = delete;
  ~SelectGuard() {
    if (dc_ && previous_) SelectObject(dc_, previous_);
  }

  // False when the selection failed (for example a bitmap that does not suit the
  // context); nothing is restored then.
  bool Selected() const { return previous_ != nullptr; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace menuskin
