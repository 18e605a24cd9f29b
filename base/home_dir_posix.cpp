// home_dir_posix.cpp - a user's home directory from $HOME or the password entry.
#include "base/home_dir_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string HomeDirOf(const std::string& user) {
  if (user.empty()) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != 0) return home;
  }
  const passwd* entry = user.empty() ? ::getpwuid(::getuid()) : ::getpwnam(user.c_str());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}
