// An engine stream owned by the code that made it: freed with BASS_StreamFree when its
// owner goes away, unless ownership was handed on (a tempo stream takes its source).
#pragma once

#include <cstdint>

#include "engine/EngineBinding.h"
#include "platform/UniqueResource.h"

namespace engine {

struct StreamTraits {
  using Handle = uint32_t;
  static Handle Invalid() { return 0; }
  static void Close(Handle stream) { BASS_StreamFree(stream); }
};

using UniqueStream = platform::UniqueResource<StreamTraits>;

}  // namespace engine
