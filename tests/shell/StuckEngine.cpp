// A stand-in engine library (built as bass.dll in a folder of its own) whose decoding
// never returns, as on a dead network share: every file opens as one minute of audio,
// and the first read of its data blocks for ever, after signalling the named event
// kStuckEngineEvent so a test knows the worker is inside the call.
#include "StuckEngine.h"

#include <windows.h>

#include <cstdint>

#define STUCK_ENGINE_EXPORT extern "C" __declspec(dllexport)

STUCK_ENGINE_EXPORT uint32_t BASS_StreamCreateFile(int, const void*, uint64_t, uint64_t, uint32_t) {
  return 1;
}

// One minute of 16-bit stereo at 44100 Hz.
STUCK_ENGINE_EXPORT uint64_t BASS_ChannelGetLength(uint32_t) {
  return 60ull * 44100 * 4;
}

STUCK_ENGINE_EXPORT uint32_t BASS_ChannelIsActive(uint32_t) {
  return 1;
}

STUCK_ENGINE_EXPORT uint32_t BASS_ChannelGetData(uint32_t, void*, uint32_t) {
  if (HANDLE entered = OpenEventA(EVENT_MODIFY_STATE, FALSE, kStuckEngineEvent)) {
    SetEvent(entered);
    CloseHandle(entered);
  }
  for (;;) {
    Sleep(INFINITE);
  }
}
