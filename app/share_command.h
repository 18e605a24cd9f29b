// share_command.h - the Linux program's list switches: "--share" and
// "--unshare" change the shared-directory list as the window's Add and Delete
// do, "--shares" prints it. Main thread only.
#pragma once
#include <string>
#include <vector>

// The console's line for an empty list: how to share a directory.
inline constexpr char kNoSharesHint[] = "(none) - to share a directory, start the program with: --share <directory>";

// Adds (share) or removes the folders, saves the list and says what changed.
// Adding a listed folder moves it to the end. False, with every refusal on
// standard error and the list as it was, when a folder is refused (missing,
// unreadable, or not listed for an unshare) or the list cannot be read or saved.
bool ChangeSharedDirs(bool share, const std::vector<std::string>& folders);

// Prints the listed folders to standard output, one a line (the hint goes to
// standard error when there are none); false when the list cannot be read.
bool PrintSharedDirs();
