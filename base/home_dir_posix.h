// home_dir_posix.h - a user's home directory on Linux.
#pragma once
#include <string>

// user "" is this process's user: $HOME when set, else the password entry.
// "" when there is none.
std::string HomeDirOf(const std::string& user);
