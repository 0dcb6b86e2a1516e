// Inside the file replace: the copies in progress, kept where a handler can find them.
#pragma once

#include <string>

namespace platform {

// The slot a copy's name is kept in until it is renamed or removed; -1 when none is free
// (the copy is then only removed by its owner); kCopiesEnded once the process is ending,
// when the caller removes its copy at once.
inline constexpr int kCopiesEnded = -2;
int RegisterCopy(const std::string& path);
void ForgetCopy(int slot);
// Removes a file by a call that a signal handler may make (per system).
void RemoveFileNow(const char* path);
// Whether a file name is that of a copy: ".NAME.temposcout-" and six characters.
bool IsCopyName(const std::string& name);

}  // namespace platform
