// One move-only owner for every kind of handle: a traits type names the handle type,
// its empty value and how to release it. Portable; the Win32 handles build on it in
// ScopedWin.h and the engine's streams in engine/EngineStream.h.
#pragma once

#include <utility>

namespace platform {

// Owns one handle of type Traits::Handle and releases it with Traits::Close unless it
// equals Traits::Invalid().
template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }

  Handle Get() const { return handle_; }
  bool IsValid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return IsValid(); }

  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) {
      Traits::Close(old);
    }
  }

 private:
  Handle handle_ = Traits::Invalid();
};

}  // namespace platform
