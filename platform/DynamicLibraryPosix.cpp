// The library loader on POSIX systems, over dlopen/dlsym/dlclose.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/Paths.h"

namespace platform {

LibraryHandle OpenLibrary(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return 0;
  const std::string name = fileName;
  // A bare name is looked for beside the program first, as Windows does. dlopen's own
  // search uses the RUNPATH of its caller, which is the sanitizer runtime, not the
  // program, when dlopen is intercepted.
  if (name.find('/') == std::string::npos) {
    const std::string folder = ModuleFolder();
    if (!folder.empty() && access((folder + name).c_str(), F_OK) == 0) {
      return reinterpret_cast<LibraryHandle>(dlopen((folder + name).c_str(), RTLD_NOW | RTLD_LOCAL));
    }
  }
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
