// The audio engine binding: opens the engine libraries at run time and calls every
// engine entry point by its exported name, looked up anew on each call.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

// The engine's calling convention: __stdcall on 32-bit Windows, the one convention
// of the platform elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define TEMPOSCOUT_ENGINE_CALL __stdcall
#else
#define TEMPOSCOUT_ENGINE_CALL
#endif

namespace engine {

using DspProc = void (*)(uint32_t handle, uint32_t channel, void* buffer, uint32_t lengthBytes, void* user);

// The exported functions' exact types. Handles and byte counts are 32-bit, Booleans
// are int, pointers stay pointer-sized, offsets, lengths and positions are 64-bit.
namespace abi {
using InitFn = int(TEMPOSCOUT_ENGINE_CALL*)(int32_t device, uint32_t freq, uint32_t flags, void* window,
                                            const void* classId);
using FreeFn = int(TEMPOSCOUT_ENGINE_CALL*)();
using ErrorGetCodeFn = int(TEMPOSCOUT_ENGINE_CALL*)();
using StreamCreateFileFn = uint32_t(TEMPOSCOUT_ENGINE_CALL*)(int mem, const void* file, uint64_t offset,
                                                             uint64_t length, uint32_t flags);
using StreamFreeFn = int(TEMPOSCOUT_ENGINE_CALL*)(uint32_t stream);
using SetVolumeFn = int(TEMPOSCOUT_ENGINE_CALL*)(uint32_t volume);
using TempoCreateFn = uint32_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel, uint32_t flags);
using ChannelSetAttributesFn = int(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel, int32_t freq, int32_t volume,
                                                            int32_t pan);
using ChannelSetDspFn = uint32_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel, DspProc proc, void* user, int32_t priority);
using ChannelGetLengthFn = uint64_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel);
using ChannelSetPositionFn = int(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel, uint64_t position);
using ChannelIsActiveFn = uint32_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel);
using ChannelGetDataFn = uint32_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel, void* buffer, uint32_t lengthBytes);
using ChannelGetPositionFn = uint64_t(TEMPOSCOUT_ENGINE_CALL*)(uint32_t channel);
}  // namespace abi

// Opens, searches and closes libraries. The binding uses the platform's loader unless
// a test installs its own, to count lookups or to take a library or entry point away.
class LibraryLoader {
 public:
  using Symbol = void (*)();
  virtual ~LibraryLoader() = default;
  virtual uintptr_t Open(const char* fileName) = 0;
  virtual Symbol Find(uintptr_t library, const char* name) = 0;
  virtual void Close(uintptr_t library) = 0;
};

// Installs a loader; nullptr goes back to the platform's. Only while no library is open.
void SetLibraryLoader(LibraryLoader* loader);
// The platform's own loader, for a loader that adds to it.
LibraryLoader& PlatformLibraryLoader();

// The file names the libraries are loaded by: bare names, found beside the program.
extern const char* const kEngineLibraryName;
extern const char* const kEngineFxLibraryName;

// The entry point of that name in an open library (one of the two references below),
// looked up now; nullptr when the reference is 0, not open, or lacks the name.
LibraryLoader::Symbol FindEntryPoint(uintptr_t library, const char* name);

// Calls the entry point `name` of `library` with `args` as a function of type Fn and
// returns its result; a value-initialised result (0) when the library or name is missing.
template <typename Fn, typename... Args>
auto CallByName(uintptr_t library, const char* name, Args&&... args) -> std::invoke_result_t<Fn, Args...> {
  using Result = std::invoke_result_t<Fn, Args...>;
  const LibraryLoader::Symbol entry = FindEntryPoint(library, name);
  if (entry == nullptr) {
    if constexpr (std::is_void_v<Result>) {
      return;
    } else {
      return Result{};
    }
  }
  return reinterpret_cast<Fn>(entry)(std::forward<Args>(args)...);
}

// The two library references: 0 while the library is not open.
uintptr_t EngineLibrary();
uintptr_t EngineFxLibrary();

uintptr_t LoadEngine();
uintptr_t LoadEngineFx();
int FreeEngine();
int UnloadEngineFx();

uint32_t BASS_Init(int32_t device, uint32_t freq, uint32_t flags, void* window, const void* classId);
uint32_t BASS_StreamCreateFile(uint32_t mem, const char* file, uint32_t offset, uint32_t length, uint32_t flags);
// Why the calling thread's last engine call failed (0 when it did not, and when the
// engine is not loaded). The values this program tells apart:
inline constexpr int kEngineErrorFileOpen = 2;   // the file cannot be opened
inline constexpr int kEngineErrorFileForm = 41;  // not audio the engine decodes
int BASS_ErrorGetCode();
uint32_t BASS_SetVolume(uint32_t volume);
uint32_t BASS_FX_TempoCreate(uint32_t channel, uint32_t flags);
uint32_t BASS_ChannelSetAttributes(uint32_t channel, int32_t freq, int32_t volume, int32_t pan);
uint32_t BASS_ChannelSetDSP(uint32_t channel, DspProc proc, void* user, int32_t priority);
// The 64-bit length in bytes; all ones on error.
uint64_t BASS_ChannelGetLength(uint32_t channel);
uint32_t BASS_ChannelSetPosition(uint32_t channel, uint64_t position);
uint32_t BASS_ChannelIsActive(uint32_t channel);
// 0xFFFFFFFF on error.
uint32_t BASS_ChannelGetData(uint32_t channel, void* buffer, uint32_t lengthBytes);
// The 64-bit position in bytes; all ones on error.
uint64_t BASS_ChannelGetPosition(uint32_t channel);
// Releases one stream (a tempo stream releases its source with it).
uint32_t BASS_StreamFree(uint32_t stream);

}  // namespace engine
