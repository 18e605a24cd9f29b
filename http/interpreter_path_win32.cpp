// interpreter_path_win32.cpp - php\php.exe, in its short (8.3) form.
#include <windows.h>

#include "http/interpreter_path.h"

std::string FindInterpreter(const std::string& appDir) {
  std::string path = appDir + "\\php\\php.exe";
  char shortPath[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  if (n == 0 || n >= sizeof shortPath) return "";
  return std::string(shortPath, n);
}
