// The desktop half of the toolbox: the two functions that need the user's desktop session
// (its desktop folder and its trash). Kept apart so that the rest of the utilities need no Qt.
#pragma once

#include <string>

// The user's desktop folder (freedesktop user dirs), else the home folder, else "/".
std::string GetDesktopFolder();

// Moves Folder to the user's trash, where it can be restored. False on any failure.
[[nodiscard]] bool DeleteFolder(const std::string& Folder);
