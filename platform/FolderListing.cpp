// Folder listings over FindFirstFileA / FindNextFileA, identities over
// GetFileInformationByHandle.
#include "platform/FolderListing.h"

namespace platform {

FolderListing::FolderListing(const std::string& folder, const std::string& pattern)
{
    const std::string query = folder + (pattern.empty() ? std::string("*") : pattern);
    find_.Reset(FindFirstFileA(query.c_str(), &data_));
    hasEntry_ = find_.IsValid();
}

void FolderListing::Next()
{
    hasEntry_ = hasEntry_ && FindNextFileA(find_.Get(), &data_) != FALSE;
}

std::optional<FolderIdentity> ReadFolderIdentity(const std::string& folder)
{
    // Backup semantics is what lets CreateFile open a folder; no access right is
    // asked for, so a folder the user may not read can still be identified.
    UniqueFile handle(CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
        return std::nullopt;
    }
    return FolderIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace platform
