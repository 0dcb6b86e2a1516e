// The shell's open action for web addresses and local pages.
#include "platform/PageOpener.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

void ShellPageOpener::Open(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
