// port_owner_win32.cpp - the process listening on a port, as netstat lists it.
#include "sys/console.h"
#include "sys/port_owner.h"

int FindPortOwner(int port) {
  return port_owner::PidFromNetstat(RunConsoleCommand("netstat -a -n -o", false), port);
}
