// Page addresses resolved against the executable's folder, so the portable folder
// works wherever the user unpacks it.
#include "shell/WebPages.h"

#include "platform/Paths.h"

namespace shell {

std::string ProductPageAddress() {
  return platform::ModuleFolder() + kProductPageFile;
}

std::string MakerPageAddress() {
  return platform::ModuleFolder() + kMakerPageFile;
}

}  // namespace shell
