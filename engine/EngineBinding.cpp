// The binding's state (two library references and the loader) and one operation per
// engine entry point, each going through CallByName.
#include "engine/EngineBinding.h"

#include <atomic>

#include "platform/DynamicLibrary.h"

namespace engine {

#ifdef _WIN32
const char* const kEngineLibraryName = "bass.dll";
const char* const kEngineFxLibraryName = "bass_fx.dll";
#else
const char* const kEngineLibraryName = "libbass.so";
const char* const kEngineFxLibraryName = "libbass_fx.so";
#endif

namespace {

class PlatformLoader final : public LibraryLoader {
 public:
  uintptr_t Open(const char* fileName) override { return platform::OpenLibrary(fileName); }
  Symbol Find(uintptr_t library, const char* name) override { return platform::FindLibrarySymbol(library, name); }
  void Close(uintptr_t library) override { platform::CloseLibrary(library); }
};

PlatformLoader gPlatformLoader;
LibraryLoader* gLoader = &gPlatformLoader;

// Written only at start-up and shutdown and read by the worker in between; atomic so
// that a late read during shutdown sees either the reference or 0.
std::atomic<uintptr_t> gEngineLibrary{0};
std::atomic<uintptr_t> gEngineFxLibrary{0};

}  // namespace

void SetLibraryLoader(LibraryLoader* loader) {
  gLoader = loader != nullptr ? loader : &gPlatformLoader;
}

LibraryLoader& PlatformLibraryLoader() {
  return gPlatformLoader;
}

uintptr_t EngineLibrary() {
  return gEngineLibrary.load();
}
uintptr_t EngineFxLibrary() {
  return gEngineFxLibrary.load();
}

LibraryLoader::Symbol FindEntryPoint(uintptr_t library, const char* name) {
  // Only the two open references are searched: asking the loader about a closed or
  // made-up handle would hand dlsym a dangling pointer.
  if (library == 0 || name == nullptr) return nullptr;
  if (library != gEngineLibrary.load() && library != gEngineFxLibrary.load()) return nullptr;
  return gLoader->Find(library, name);
}

uintptr_t LoadEngine() {
  if (gEngineLibrary.load() == 0) gEngineLibrary = gLoader->Open(kEngineLibraryName);
  return gEngineLibrary.load();
}

uintptr_t LoadEngineFx() {
  if (gEngineFxLibrary.load() == 0) gEngineFxLibrary = gLoader->Open(kEngineFxLibraryName);
  return gEngineFxLibrary.load();
}

int FreeEngine() {
  const uintptr_t library = gEngineLibrary.load();
  if (library != 0) {
    CallByName<abi::FreeFn>(library, "BASS_Free");
    gEngineLibrary = 0;
    gLoader->Close(library);
  }
  return 0;
}

int UnloadEngineFx() {
  const uintptr_t library = gEngineFxLibrary.exchange(0);
  if (library != 0) gLoader->Close(library);
  return 0;
}

uint32_t BASS_Init(int32_t device, uint32_t freq, uint32_t flags, void* window, const void* classId) {
  return static_cast<uint32_t>(
      CallByName<abi::InitFn>(gEngineLibrary.load(), "BASS_Init", device, freq, flags, window, classId));
}

uint32_t BASS_StreamCreateFile(uint32_t mem, const char* file, uint32_t offset, uint32_t length, uint32_t flags) {
  return CallByName<abi::StreamCreateFileFn>(gEngineLibrary.load(), "BASS_StreamCreateFile", static_cast<int>(mem),
                                             static_cast<const void*>(file), uint64_t{offset}, uint64_t{length}, flags);
}

int BASS_ErrorGetCode() {
  return CallByName<abi::ErrorGetCodeFn>(gEngineLibrary.load(), "BASS_ErrorGetCode");
}

uint32_t BASS_SetVolume(uint32_t volume) {
  return static_cast<uint32_t>(CallByName<abi::SetVolumeFn>(gEngineLibrary.load(), "BASS_SetVolume", volume));
}

uint32_t BASS_FX_TempoCreate(uint32_t channel, uint32_t flags) {
  return CallByName<abi::TempoCreateFn>(gEngineFxLibrary.load(), "BASS_FX_TempoCreate", channel, flags);
}

uint32_t BASS_ChannelSetAttributes(uint32_t channel, int32_t freq, int32_t volume, int32_t pan) {
  return static_cast<uint32_t>(CallByName<abi::ChannelSetAttributesFn>(
      gEngineLibrary.load(), "BASS_ChannelSetAttributes", channel, freq, volume, pan));
}

uint32_t BASS_ChannelSetDSP(uint32_t channel, DspProc proc, void* user, int32_t priority) {
  return CallByName<abi::ChannelSetDspFn>(gEngineLibrary.load(), "BASS_ChannelSetDSP", channel, proc, user, priority);
}

uint64_t BASS_ChannelGetLength(uint32_t channel) {
  return CallByName<abi::ChannelGetLengthFn>(gEngineLibrary.load(), "BASS_ChannelGetLength", channel);
}

uint32_t BASS_ChannelSetPosition(uint32_t channel, uint64_t position) {
  return static_cast<uint32_t>(
      CallByName<abi::ChannelSetPositionFn>(gEngineLibrary.load(), "BASS_ChannelSetPosition", channel, position));
}

uint32_t BASS_ChannelIsActive(uint32_t channel) {
  return CallByName<abi::ChannelIsActiveFn>(gEngineLibrary.load(), "BASS_ChannelIsActive", channel);
}

uint32_t BASS_ChannelGetData(uint32_t channel, void* buffer, uint32_t lengthBytes) {
  return CallByName<abi::ChannelGetDataFn>(gEngineLibrary.load(), "BASS_ChannelGetData", channel, buffer, lengthBytes);
}

uint64_t BASS_ChannelGetPosition(uint32_t channel) {
  return CallByName<abi::ChannelGetPositionFn>(gEngineLibrary.load(), "BASS_ChannelGetPosition", channel);
}

uint32_t BASS_StreamFree(uint32_t stream) {
  return static_cast<uint32_t>(CallByName<abi::StreamFreeFn>(gEngineLibrary.load(), "BASS_StreamFree", stream));
}

}  // namespace engine
