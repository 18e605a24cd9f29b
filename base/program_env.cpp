// program_env.cpp - the application directory, alike on every platform: the
// program file's directory, or the one a test has put in its place.
#include "base/program_env.h"

#include <mutex>

namespace {
std::mutex gAppDirLock;
std::string gAppDirOverride;  // guarded by gAppDirLock; set by tests only
}  // namespace

void OverrideAppDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(gAppDirLock);
  gAppDirOverride = dir;
}

std::string GetAppDir() {
  {
    std::lock_guard<std::mutex> lock(gAppDirLock);
    if (!gAppDirOverride.empty()) return gAppDirOverride;
  }
  std::string exe = GetExePath();
  std::size_t delim = exe.rfind(PathDelim());
  return delim == std::string::npos ? std::string() : exe.substr(0, delim);
}
