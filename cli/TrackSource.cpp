// Why a file of the command line gave no analysis at all.
#include "cli/TrackSource.h"

#include "platform/FolderListing.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace cli {

std::string DescribeUnreadable(const std::string& path) {
  if (platform::IsExistingFolder(path)) {
    return "is a folder";
  }
#ifndef _WIN32
  // Opening a FIFO or a device could wait for ever; such a file is no audio file.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
#endif
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::strerror(errno);
  }
  std::fclose(file);
  return "not an MP3 or WAV file that can be decoded";
}

}  // namespace cli
