// The count of objects held by the scoped GDI owners.
#include "menuskin/ScopedGdi.h"

namespace menuskin {
namespace {
int liveCount = 0;
}  // namespace

int LiveScopedGdiCount() {
  return liveCount;
}

namespace detail {
void NoteAcquired() {
  ++liveCount;
}
void NoteReleased() {
  --liveCount;
}
}  // namespace detail

}  // namespace menuskin
