// Move-only owners for the GDI objects, memory contexts and window contexts that one
// drawing step creates, and a guard that puts back what a context held before.
#pragma once

#include "platform/ScopedWin.h"

#include <windows.h>

namespace menuskin {

// Number of objects the owners below currently hold; lets tests see leaks even where
// the platform cannot count GDI objects per process.
int LiveScopedGdiCount();

namespace detail {
void NoteAcquired();
void NoteReleased();

// Counts a freshly created handle as held; the traits' Close counts it as released.
template <typename Handle>
Handle Counted(Handle handle) {
  if (handle) NoteAcquired();
  return handle;
}

template <typename H>
struct GdiObjectTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) {
    DeleteObject(h);
    NoteReleased();
  }
};

struct MemDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) {
    DeleteDC(h);
    NoteReleased();
  }
};

// A window context is released through the window it came from.
struct WindowDcHandle {
  HWND window = nullptr;
  HDC dc = nullptr;
  bool operator==(const WindowDcHandle&) const = default;
};

struct WindowDcTraits {
  using Handle = WindowDcHandle;
  static Handle Invalid() { return {}; }
  static void Close(Handle h) {
    ReleaseDC(h.window, h.dc);
    NoteReleased();
  }
};

// What a context held before a selection, put back on closing.
struct Selection {
  HDC dc = nullptr;
  HGDIOBJ previous = nullptr;
  bool operator==(const Selection&) const = default;
};

struct SelectionTraits {
  using Handle = Selection;
  static Handle Invalid() { return {}; }
  static void Close(Handle h) { SelectObject(h.dc, h.previous); }
};
}  // namespace detail

// Owns a brush, pen, font or bitmap created by the caller. Never give it a stock
// object: it would be deleted. Only what keeps the count right is passed on from the
// base: no Release, and Reset only to empty.
template <typename Handle>
class UniqueGdi : private platform::UniqueResource<detail::GdiObjectTraits<Handle>> {
  using Base = platform::UniqueResource<detail::GdiObjectTraits<Handle>>;

 public:
  UniqueGdi() = default;
  explicit UniqueGdi(Handle handle) : Base(detail::Counted(handle)) {}

  using Base::Get;
  using Base::operator bool;
  void Reset() { Base::Reset(); }
};

using UniqueBrush = UniqueGdi<HBRUSH>;
using UniquePen = UniqueGdi<HPEN>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBitmap = UniqueGdi<HBITMAP>;

// A memory context compatible with another context, deleted on destruction.
class MemDc : private platform::UniqueResource<detail::MemDcTraits> {
  using Base = platform::UniqueResource<detail::MemDcTraits>;

 public:
  explicit MemDc(HDC compatibleWith) : Base(detail::Counted(CreateCompatibleDC(compatibleWith))) {}

  using Base::Get;
  using Base::operator bool;
};

// The context of a whole window (GetWindowDC), released on destruction.
class WindowDc : private platform::UniqueResource<detail::WindowDcTraits> {
  using Base = platform::UniqueResource<detail::WindowDcTraits>;

 public:
  explicit WindowDc(HWND window) : Base(Acquire(window)) {}

  HDC Get() const { return Base::Get().dc; }
  using Base::operator bool;

 private:
  static detail::WindowDcHandle Acquire(HWND window) {
    HDC dc = detail::Counted(GetWindowDC(window));
    return dc ? detail::WindowDcHandle{window, dc} : detail::WindowDcHandle{};
  }
};

// Selects an object into a context and selects the previous one back on
// destruction. Declare it after the object it selects, so that the object is
// selected out before its owner deletes it. It keeps the context it selected into,
// so the restore always reaches the right one.
class SelectGuard : private platform::UniqueResource<detail::SelectionTraits> {
  using Base = platform::UniqueResource<detail::SelectionTraits>;

 public:
  SelectGuard(HDC dc, HGDIOBJ object) : Base(Select(dc, object)) {}
  SelectGuard(SelectGuard&&) noexcept = default;
  // A guard is bound to one scope; assigning another would restore out of order.
  SelectGuard& operator=(SelectGuard&&) = delete;

  // False when the selection failed (for example a bitmap that does not suit the
  // context); nothing is restored then.
  bool Selected() const { return IsValid(); }

 private:
  static detail::Selection Select(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return {};
    HGDIOBJ previous = SelectObject(dc, object);
    if (!previous || previous == HGDI_ERROR) return {};
    return {dc, previous};
  }
};

}  // namespace menuskin
