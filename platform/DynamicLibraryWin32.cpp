// The library loader on Windows, over LoadLibraryA/GetProcAddress/FreeLibrary.
#include "platform/DynamicLibrary.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

LibraryHandle OpenLibrary(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return 0;
  // No "cannot find the DLL" message box when the library is absent.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(fileName);
  SetErrorMode(oldMode);
  return reinterpret_cast<LibraryHandle>(module);
}

LibrarySymbol FindLibrarySymbol(LibraryHandle library, const char* name) {
  if (library == 0 || name == nullptr) return nullptr;
  // FARPROC and void(*)() are both generic function pointers; the caller casts back.
  return reinterpret_cast<LibrarySymbol>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

void CloseLibrary(LibraryHandle library) {
  if (library != 0) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace platform
