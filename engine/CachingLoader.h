// A library loader for the command-line tool that remembers, per thread, the entry points
// the engine binding looks up by name: the binding asks for one on every engine call,
// several times per 441-byte chunk, and the system's lookup searches the library's symbol
// table under the loader's process-wide lock, which parallel workers would contend for.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/EngineBinding.h"

namespace engine {

class CachingLibraryLoader final : public LibraryLoader {
 public:
  explicit CachingLibraryLoader(LibraryLoader& inner) : inner_(inner) {}

  uintptr_t Open(const char* fileName) override;
  // Forgets every remembered entry point: a reference may be reused for another library.
  void Close(uintptr_t library) override;
  Symbol Find(uintptr_t library, const char* name) override;

 private:
  LibraryLoader& inner_;
  // Bumped whenever a library opens or closes; a thread's remembered entries are only
  // used while it is unchanged.
  std::atomic<uint64_t> generation_{1};
};

}  // namespace engine
