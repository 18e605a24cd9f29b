// test_host_win32.cpp - the gateway tests' machine on Windows (and under Wine).
#include <windows.h>
#include <tlhelp32.h>

#include "gateway/test_host.h"

bool EnterPrivateNetwork() { return false; }

// Wine shares the machine's ports: keep clear of the program's own 60001,
// which other tests may be serving on.
int GatewayTestPort() { return 60021; }

int ChildProcessCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == self) ++count;
  CloseHandle(snapshot);
  return count;
}
