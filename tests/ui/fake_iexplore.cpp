// fake_iexplore.cpp - stands in for the web browser in the window tests:
// appends its command line to iexplore.log beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string log = path;
  log = log.substr(0, log.rfind('\\') + 1) + "iexplore.log";
  if (FILE* f = std::fopen(log.c_str(), "ab")) {
    std::fprintf(f, "%s\n", commandLine);
    std::fclose(f);
  }
  return 0;
}
