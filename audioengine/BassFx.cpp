// The entry points of the tempo add-on "bass_fx": a tempo stream is a decoding stream
// fed by its source stream. Tempo, rate and pitch are never changed, so it passes the
// source's audio on unchanged.
#include <cstdint>

#include "audioengine/EngineApi.h"
#include "audioengine/EntryGuard.h"

namespace {

uint32_t SourceOf(void* user) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
}

uint32_t ENGINEAPI ReadSource(void* user, void* buffer, uint32_t lengthBytes) {
  return BASS_ChannelGetData(SourceOf(user), buffer, lengthBytes);
}

int ENGINEAPI SeekSource(void* user, uint64_t position) {
  return BASS_ChannelSetPosition(SourceOf(user), position);
}

// The tempo stream owns its source: freeing one frees both.
void ENGINEAPI FreeSource(void* user) {
  BASS_StreamFree(SourceOf(user));
}

const FeedProcs kTempoFeed = {ReadSource, SeekSource, FreeSource};

}  // namespace

extern "C" {

BASS_FX_API uint32_t ENGINEAPI BASS_FX_TempoCreate(uint32_t channel, uint32_t /*flags: always decoding*/) {
  return audioengine::GuardedEntry(
      0u,
      [&]() -> uint32_t {
        // An unknown channel leaves the handle error that the length query set.
        const uint64_t length = BASS_ChannelGetLength(channel);
        if (length == ~uint64_t{0}) return 0;
        return TSEngine_StreamCreateFed(&kTempoFeed, reinterpret_cast<void*>(uintptr_t{channel}), length);
      },
      [](int code) { TSEngine_SetError(code); });
}

}  // extern "C"
