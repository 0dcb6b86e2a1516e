// What the main thread sets up before it opens a window or a dialog, released in
// reverse order when the program ends.
#pragma once

namespace platform {

class UiSession {
 public:
  // Initialises COM as a single-threaded apartment (the folder browser needs it)
  // and registers the common control classes.
  UiSession();
  ~UiSession();
  UiSession(const UiSession&) = delete;
  UiSession& operator=(const UiSession&) = delete;

 private:
  bool comStarted_ = false;
};

}  // namespace platform
