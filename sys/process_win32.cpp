// process_win32.cpp - ending another process by its id on Windows.
#include <windows.h>

#include "base/scoped_handle_win32.h"
#include "sys/port_owner.h"

namespace {
// Termination completes asynchronously and the caller binds again right
// after: without a short wait the port may still be held for that attempt.
constexpr DWORD kEndWaitMs = 2000;
}  // namespace

void KillProcess(int processId) {
  constexpr DWORD kAllAccess = 0x1F0FFF;
  TScopedHandle process(OpenProcess(kAllAccess, TRUE, static_cast<DWORD>(processId)));
  if (!process.Valid()) return;
  if (TerminateProcess(process.Get(), 0)) WaitForSingleObject(process.Get(), kEndWaitMs);
}
