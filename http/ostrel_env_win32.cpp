// ostrel_env_win32.cpp - program directory, system directory, address and
// character set on Windows.
#include <windows.h>

#include <mutex>

#include "base/text.h"
#include "http/ostrel.h"
#include "net/tcp_connection.h"

namespace {
std::mutex gAppDirLock;
std::string gAppDirOverride;  // guarded by gAppDirLock; set by tests only
}  // namespace

char TOstrel::PathDelim() { return '\\'; }

std::string TOstrel::GetExePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

void TOstrel::OverrideAppDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(gAppDirLock);
  gAppDirOverride = dir;
}

std::string TOstrel::GetAppDir() {
  {
    std::lock_guard<std::mutex> lock(gAppDirLock);
    if (!gAppDirOverride.empty()) return gAppDirOverride;
  }
  std::string exe = GetExePath();
  std::size_t slash = exe.rfind('\\');
  std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
  // A program in the root of a drive: "C:" rather than "C:\", so that "\www" appends cleanly.
  if (dir.size() <= 3) return dir.substr(0, 2);
  return dir.substr(0, dir.size() - 1);
}

std::string TOstrel::GetSystemDir() {
  char dir[260] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}

std::string TOstrel::GetLocalIP() { return FirstLocalAddress(); }

std::string TOstrel::GetCharset() {
  char name[1024] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, name, sizeof name);
  return text::UpperAscii(text::Trim(name)) == "CHS" ? "gb2312" : "iso-8859-1";
}
