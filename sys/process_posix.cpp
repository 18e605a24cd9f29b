// process_posix.cpp - ending another process by its id on Linux.
#include <signal.h>

#include "sys/ostrel_system.h"

void TOstrelSystem::KillProcess(int processId) {
  // kill() takes 0 and negative ids for process groups; -1 would reach every
  // process this user may signal.
  if (processId > 0) ::kill(processId, SIGKILL);
}
