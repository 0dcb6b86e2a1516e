// Why a file of the command line gave no analysis at all.
#include "cli/TrackSource.h"

#include "platform/Console.h"
#include "platform/FolderListing.h"

namespace cli {

std::string DescribeUnreadable(const std::string& path) {
  if (platform::IsExistingFolder(path)) return "is a folder";
  const std::string failure = platform::OpenFailure(path);
  return failure.empty() ? std::string("not an audio file that can be decoded") : failure;
}

}  // namespace cli
