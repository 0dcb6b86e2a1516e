// Listing the entries of one folder, and telling folders apart by identity rather
// than by path text (two paths can reach one folder through a link).
#pragma once

#include "platform/ScopedWin.h"

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

// The entries of one folder that match a pattern, in the file system's order,
// including "." and "..". An empty pattern matches every entry.
class FolderListing {
public:
    // folder must end with a backslash. A folder that cannot be listed (missing,
    // denied, a path longer than the system accepts) gives a listing with no entries.
    FolderListing(const std::string& folder, const std::string& pattern);

    bool IsOpen() const { return find_.IsValid(); }
    bool HasEntry() const { return hasEntry_; }
    void Next();

    const char* EntryName() const { return data_.cFileName; }
    bool EntryIsFolder() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

private:
    UniqueFind find_;
    WIN32_FIND_DATAA data_{};
    bool hasEntry_ = false;
};

struct FolderIdentity {
    DWORD volumeSerial = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// The volume and file index of the folder a path leads to (after following links),
// or nothing when the folder cannot be opened.
std::optional<FolderIdentity> ReadFolderIdentity(const std::string& folder);

}  // namespace platform
