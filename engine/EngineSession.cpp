// The engine session over the binding's load, initialise, free and unload operations.
#include "engine/EngineSession.h"

#include "engine/EngineBinding.h"
#include "platform/Paths.h"

namespace engine {

namespace {

constexpr int32_t kDefaultDevice = -1;
constexpr uint32_t kOutputRate = 44100;

}  // namespace

EngineSession::EngineSession() {
  engineLoaded_ = LoadEngine() != 0;
  engineFxLoaded_ = LoadEngineFx() != 0;
}

EngineSession::~EngineSession() {
  FreeEngine();
  UnloadEngineFx();
}

uint32_t EngineSession::Initialise(void* window) {
  return BASS_Init(kDefaultDevice, kOutputRate, 0, window, nullptr);
}

std::vector<MissingLibrary> EngineSession::MissingLibraries() const {
  std::vector<MissingLibrary> missing;
  if (!engineLoaded_) missing.push_back({kEngineLibraryName, platform::ModuleFolder()});
  if (!engineFxLoaded_) missing.push_back({kEngineFxLibraryName, platform::ModuleFolder()});
  return missing;
}

}  // namespace engine
