// interpreter_path_win32.cpp - php\php-cgi.exe, else php\php.exe, in its short
// (8.3) form. Every PHP for Windows of the last fifteen years ships both, and
// php.exe among them is the command-line build, which cannot run pages.
#include <windows.h>

#include "http/interpreter_path.h"

namespace {

// "" when the file is not there.
std::string ShortPathOf(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  if (n == 0 || n >= sizeof shortPath) return "";
  return std::string(shortPath, n);
}

}  // namespace

std::string FindInterpreter(const std::string& appDir) {
  std::string cgi = ShortPathOf(appDir + "\\php\\php-cgi.exe");
  return cgi.empty() ? ShortPathOf(appDir + "\\php\\php.exe") : cgi;
}
