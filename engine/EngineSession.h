// The engine for one run of a program: loads both engine libraries on creation,
// initialises the engine once the program is ready for it, and on destruction frees the
// engine and unloads both libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// A library the session could not load: its file name and the folder it was looked for
// in first (the program's own; the platform's search path comes after it).
struct MissingLibrary {
  std::string fileName;
  std::string programFolder;
};

class EngineSession {
 public:
  // Loads the engine library, then the effects library. The session goes on whether
  // or not they load: without them every engine operation yields 0.
  EngineSession();
  // Frees the engine with every stream still open and unloads its library, then
  // unloads the effects library.
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // Initialises the default output device at 44100 Hz on a window (the platform's
  // window handle, or null for none). Returns the engine's result; 0 on failure.
  uint32_t Initialise(void* window);

  bool EngineLoaded() const { return engineLoaded_; }
  bool EngineFxLoaded() const { return engineFxLoaded_; }
  // The libraries that did not load, in loading order; empty when both did.
  std::vector<MissingLibrary> MissingLibraries() const;

 private:
  bool engineLoaded_ = false;
  bool engineFxLoaded_ = false;
};

}  // namespace engine
