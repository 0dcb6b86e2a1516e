// Loading a shared library by file name and finding its exported functions by name:
// LoadLibraryA/GetProcAddress/FreeLibrary on Windows, dlopen/dlsym/dlclose elsewhere.
#pragma once

#include <cstdint>

namespace platform {

// An opened library; 0 when none.
using LibraryHandle = std::uintptr_t;
// An exported function of unknown type; callers cast it to the type they know.
using LibrarySymbol = void (*)();

// Opens the library by file name (a bare name uses the platform's search order, which
// starts with the program's own folder). Returns 0 when it cannot be loaded.
LibraryHandle OpenLibrary(const char* fileName);

// The exported function of that name, or nullptr when the library does not export it.
LibrarySymbol FindLibrarySymbol(LibraryHandle library, const char* name);

// Closes a library returned by OpenLibrary; 0 is ignored.
void CloseLibrary(LibraryHandle library);

}  // namespace platform
