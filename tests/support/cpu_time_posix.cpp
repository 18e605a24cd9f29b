// cpu_time_posix.cpp - process processor time on Linux.
#include <time.h>

#include "support/cpu_time.h"

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
