// Filling the track list: one chosen file, the audio files of one folder, or those
// of a whole folder tree.
#pragma once

#include "shell/Shell.h"

#include <string>
#include <string_view>

namespace shell {

inline constexpr char kFileDialogTitle[] = "Select an Audio File";
inline constexpr char kFileDialogFilter[] = "Audio (*mp3,*.wav)|*mp3;*.wav|";
inline constexpr char kFolderDialogText[] = "Select a folder";

// Clears the track list and marks it as a new list, so a run in progress neither
// writes a result it measured on the old list into the new one nor goes on from its
// old row.
void ClearTrackList(Shell& shell);

void LoadFile(Shell& shell);
void LoadFolder(Shell& shell);
void LoadFolderRecursive(Shell& shell);

// Replaces nothing by itself: appends the rows found under path. Always returns 1.
int ScanFolderTree(Shell& shell, const std::string& path, int descend);

// The flat scan of "Load Folder", after the list has been cleared.
void ScanFolder(Shell& shell, const std::string& folder);

}  // namespace shell
