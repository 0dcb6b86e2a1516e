// The library loader on POSIX systems, over dlopen/dlsym/dlclose.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace platform {

LibraryHandle OpenLibrary(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return 0;
  return reinterpret_cast<LibraryHandle>(dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

LibrarySymbol FindLibrarySymbol(LibraryHandle library, const char* name) {
  if (library == 0 || name == nullptr) return nullptr;
  return reinterpret_cast<LibrarySymbol>(dlsym(reinterpret_cast<void*>(library), name));
}

void CloseLibrary(LibraryHandle library) {
  if (library != 0) dlclose(reinterpret_cast<void*>(library));
}

}  // namespace platform
