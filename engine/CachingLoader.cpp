// Per-thread memory of the entry points found, valid until a library opens or closes.
#include "engine/CachingLoader.h"

#include <string>
#include <vector>

namespace engine {
namespace {

struct Remembered {
  uintptr_t library;
  std::string name;
  LibraryLoader::Symbol symbol;
};

struct ThreadMemory {
  const CachingLibraryLoader* owner = nullptr;
  uint64_t generation = 0;
  std::vector<Remembered> entries;
};

thread_local ThreadMemory tMemory;

}  // namespace

uintptr_t CachingLibraryLoader::Open(const char* fileName) {
  generation_.fetch_add(1);
  return inner_.Open(fileName);
}

void CachingLibraryLoader::Close(uintptr_t library) {
  generation_.fetch_add(1);
  inner_.Close(library);
}

LibraryLoader::Symbol CachingLibraryLoader::Find(uintptr_t library, const char* name) {
  const uint64_t generation = generation_.load();
  if (tMemory.owner != this || tMemory.generation != generation) {
    tMemory.owner = this;
    tMemory.generation = generation;
    tMemory.entries.clear();
  }
  // A dozen entry points at most: a linear search beats hashing the name.
  for (const Remembered& entry : tMemory.entries) {
    if (entry.library == library && entry.name == name) return entry.symbol;
  }
  const Symbol symbol = inner_.Find(library, name);
  tMemory.entries.push_back({library, name, symbol});
  return symbol;
}

}  // namespace engine
