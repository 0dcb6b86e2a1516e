// Opening a web address in the user's default handler. The program reaches it
// through this interface so tests can see which address a command opened.
#pragma once

#include <string>

namespace platform {

class PageOpener {
 public:
  virtual ~PageOpener() = default;
  // Returns at once; whether a browser came up is not reported.
  virtual void Open(const std::string& address) = 0;
};

// Hands the address to the shell's "open" action with no parameters and no working folder.
class ShellPageOpener final : public PageOpener {
 public:
  void Open(const std::string& address) override;
};

}  // namespace platform
