// The one guard of the engine's exported entry points: no exception may leave a library
// into its caller's C frames; out of memory and anything else thrown become the entry
// point's failure value with an error code.
#pragma once

#include <new>

#include "audioengine/EngineApi.h"

namespace audioengine {

// Runs body() and returns its result; when it throws, records BASS_ERROR_MEM (out of
// memory) or BASS_ERROR_UNKNOWN through setError and returns failure.
template <typename Result, typename Body, typename SetError>
Result GuardedEntry(Result failure, Body body, SetError setError) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    setError(BASS_ERROR_MEM);
  } catch (...) {
    setError(BASS_ERROR_UNKNOWN);
  }
  return failure;
}

}  // namespace audioengine
