// ostrel_env.cpp - the application directory, alike on every platform: the
// program file's directory, or the one a test has put in its place.
#include <mutex>

#include "http/ostrel.h"

namespace {
std::mutex gAppDirLock;
std::string gAppDirOverride;  // guarded by gAppDirLock; set by tests only
}  // namespace

void TOstrel::OverrideAppDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(gAppDirLock);
  gAppDirOverride = dir;
}

// A program in the root of a drive gives "C:" rather than "C:\", so that
// "\www" appends cleanly.
std::string TOstrel::GetAppDir() {
  {
    std::lock_guard<std::mutex> lock(gAppDirLock);
    if (!gAppDirOverride.empty()) return gAppDirOverride;
  }
  std::string exe = GetExePath();
  std::size_t delim = exe.rfind(PathDelim());
  return delim == std::string::npos ? std::string() : exe.substr(0, delim);
}
