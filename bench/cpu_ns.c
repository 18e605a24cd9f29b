/* cpu_ns.c - prints a process's own CPU time (user + system, all its threads,
 * not its children) in nanoseconds: /proc/<pid>/stat's utime + stime without
 * the rounding to clock ticks.  Usage: cpu_ns PID */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

int main(int argc, char **argv) {
  clockid_t clock;
  struct timespec ts;
  if (argc < 2 || clock_getcpuclockid((pid_t)atoi(argv[1]), &clock) != 0 || clock_gettime(clock, &ts) != 0) {
    fprintf(stderr, "usage: %s PID (a running process)\n", argv[0]);
    return 1;
  }
  printf("%lld\n", (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec);
  return 0;
}
