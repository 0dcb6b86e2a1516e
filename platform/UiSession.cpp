// COM and common-control set-up for the main thread.
#include "platform/UiSession.h"

#include "platform/Controls.h"

#include <ole2.h>

namespace platform {

UiSession::UiSession() {
  comStarted_ = SUCCEEDED(OleInitialize(nullptr));
  InitialiseCommonControls();
}

UiSession::~UiSession() {
  if (comStarted_) {
    OleUninitialize();
  }
}

}  // namespace platform
