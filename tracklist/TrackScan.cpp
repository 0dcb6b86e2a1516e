// Folder scans over the platform's folder listings.
#include "tracklist/TrackScan.h"

#include "platform/FolderListing.h"
#include "platform/Paths.h"

#include <cstring>
#include <optional>
#include <vector>

namespace tracklist {

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
  }
  return true;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Folders on the current descent path, by identity: a link back to one of them would
// otherwise make the scan run until paths grow too long, listing the same files
// again on every round.
using DescentPath = std::vector<platform::FolderIdentity>;

void ScanTree(TrackSink& sink, const std::string& path, int descend, DescentPath& ancestors) {
  const std::string folder = platform::WithTrailingSeparator(path);

  const std::optional<platform::FolderIdentity> identity = platform::ReadFolderIdentity(folder);
  if (identity) {
    for (const platform::FolderIdentity& ancestor : ancestors) {
      if (ancestor == *identity) {
        return;
      }
    }
  }

  // First pass: names only. The entry kind is not looked at, so a folder named
  // "live.mp3" becomes a row as well.
  {
    platform::FolderListing listing(folder, "*.*");
    if (!listing.Failure().empty()) {
      sink.FolderNotListed(path, listing.Failure());
    }
    for (; listing.HasEntry(); listing.Next()) {
      std::string candidate = folder + listing.EntryName();
      if (sink.TakesName(candidate)) {
        sink.AppendRow(candidate);
      }
    }
  }
  if (descend == 0) {
    return;
  }

  if (identity) {
    ancestors.push_back(*identity);
  }
  for (platform::FolderListing listing(folder, ""); listing.HasEntry(); listing.Next()) {
    sink.TakeTurn();
    if (listing.EntryIsFolder() && !IsDotEntry(listing.EntryName())) {
      ScanTree(sink, folder + listing.EntryName(), 1, ancestors);
    }
  }
  if (identity) {
    ancestors.pop_back();
  }
}

}  // namespace

bool HasExtensionIn(std::string_view name, std::span<const std::string_view> extensions) {
  for (std::string_view extension : extensions) {
    const std::string_view tail = name.size() > extension.size() ? name.substr(name.size() - extension.size()) : name;
    if (EqualsIgnoringAsciiCase(tail, extension)) {
      return true;
    }
  }
  return false;
}

bool PassesAudioNameTest(std::string_view name) {
  return HasExtensionIn(name, kWindowAudioExtensions);
}

std::string_view FindAudioExtension(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  for (std::string_view known : kAudioExtensions) {
    if (EqualsIgnoringAsciiCase(known.substr(1), extension)) return known;
  }
  return {};
}

void ScanFolderInto(TrackSink& sink, const std::string& folder, std::string_view shownName) {
  platform::FolderListing listing(folder, "*.*");
  if (!listing.Failure().empty()) {
    sink.FolderNotListed(shownName.empty() ? folder : std::string(shownName), listing.Failure());
  }
  for (; listing.HasEntry(); listing.Next()) {
    if (!listing.EntryIsFolder() && sink.TakesName(listing.EntryName())) {
      sink.AppendRow(folder + listing.EntryName());
    }
  }
}

int ScanFolderTreeInto(TrackSink& sink, const std::string& path, int descend) {
  DescentPath ancestors;
  ScanTree(sink, path, descend, ancestors);
  return 1;
}

void CollectTracks(TrackSink& sink, const std::string& path, bool recursive) {
  if (!platform::IsExistingFolder(path)) {
    sink.AppendRow(path);
  } else if (recursive) {
    // The path as given, so a folder that cannot be listed is named as the user wrote it.
    ScanFolderTreeInto(sink, path, 1);
  } else {
    ScanFolderInto(sink, platform::WithTrailingSeparator(path), path);
  }
}

}  // namespace tracklist
