// Folder scans over the platform's folder listings.
#include "tracklist/TrackScan.h"

#include "platform/FolderListing.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"

#include <algorithm>
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

// Calls visit(name, isFolder) for each entry of a listing of folder with pattern. In
// listing order the listing stays open while visit runs (a recursive scan holds one
// listing per level); by name, the names are read first and the listing closed.
// Returns why the folder could not be listed, or empty text.
template <typename Visit>
std::string ForEachEntry(const std::string& folder, const char* pattern, EntryOrder order, Visit visit) {
  struct Entry {
    std::string sortKey;  // the name in UTF-8, compared byte by byte
    std::string name;
    bool isFolder;
  };
  std::vector<Entry> entries;
  std::string failure;
  {
    platform::FolderListing listing(folder, pattern);
    failure = listing.Failure();
    for (; listing.HasEntry(); listing.Next()) {
      if (order == EntryOrder::kListing) {
        visit(std::string(listing.EntryName()), listing.EntryIsFolder());
      } else {
        entries.push_back({platform::AnsiToUtf8(listing.EntryName()), listing.EntryName(), listing.EntryIsFolder()});
      }
    }
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.sortKey < b.sortKey; });
  for (const Entry& entry : entries) visit(entry.name, entry.isFolder);
  return failure;
}

// Folders on the current descent path, by identity: a link back to one of them would
// otherwise make the scan run until paths grow too long, listing the same files
// again on every round.
using DescentPath = std::vector<platform::FolderIdentity>;

void ScanTree(TrackSink& sink, const std::string& path, int descend, EntryOrder order, DescentPath& ancestors) {
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
  const std::string failure = ForEachEntry(folder, "*.*", order, [&](const std::string& name, bool) {
    std::string candidate = folder + name;
    if (sink.TakesName(candidate)) {
      sink.AppendRow(candidate);
    }
  });
  if (!failure.empty()) {
    sink.FolderNotListed(path, failure);
  }
  if (descend == 0) {
    return;
  }

  if (identity) {
    ancestors.push_back(*identity);
  }
  ForEachEntry(folder, "", order, [&](const std::string& name, bool isFolder) {
    sink.TakeTurn();
    if (isFolder && !IsDotEntry(name.c_str())) {
      ScanTree(sink, folder + name, 1, order, ancestors);
    }
  });
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

void ScanFolderInto(TrackSink& sink, const std::string& folder, std::string_view shownName, EntryOrder order) {
  const std::string failure = ForEachEntry(folder, "*.*", order, [&](const std::string& name, bool isFolder) {
    if (!isFolder && sink.TakesName(name)) {
      sink.AppendRow(folder + name);
    }
  });
  if (!failure.empty()) {
    sink.FolderNotListed(shownName.empty() ? folder : std::string(shownName), failure);
  }
}

int ScanFolderTreeInto(TrackSink& sink, const std::string& path, int descend, EntryOrder order) {
  DescentPath ancestors;
  ScanTree(sink, path, descend, order, ancestors);
  return 1;
}

void CollectTracks(TrackSink& sink, const std::string& path, bool recursive, EntryOrder order) {
  if (!platform::IsExistingFolder(path)) {
    sink.AppendRow(path);
  } else if (recursive) {
    // The path as given, so a folder that cannot be listed is named as the user wrote it.
    ScanFolderTreeInto(sink, path, 1, order);
  } else {
    ScanFolderInto(sink, platform::WithTrailingSeparator(path), path, order);
  }
}

}  // namespace tracklist
