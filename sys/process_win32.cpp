// process_win32.cpp - ending another process by its id on Windows.
#include <windows.h>

#include "base/scoped_handle_win32.h"
#include "sys/ostrel_system.h"

void TOstrelSystem::KillProcess(int processId) {
  constexpr DWORD kAllAccess = 0x1F0FFF;
  TScopedHandle process(OpenProcess(kAllAccess, TRUE, static_cast<DWORD>(processId)));
  // Nothing waits for it to go: the caller simply tries its bind again.
  if (process.Valid()) TerminateProcess(process.Get(), 0);
}
