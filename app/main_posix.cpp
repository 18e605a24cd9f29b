// main_posix.cpp - the program's entry on Linux.
#include <cstring>

#include "app/headless.h"

int main(int argc, char** argv) {
  bool autoStart = argc > 1 && strcasecmp(argv[1], "-auto") == 0;
  return RunHeadless(autoStart);
}
