// The one guard of the procedures the system calls from its own C frames (window
// procedures, hooks), which an exception must not unwind.
#pragma once

namespace platform {

// Runs body() and returns its result; when it throws, returns fallback()'s instead (the
// default handling of the message, or the next hook's).
template <typename Body, typename Fallback>
auto GuardedCallback(Body body, Fallback fallback) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return fallback();
  }
}

}  // namespace platform
