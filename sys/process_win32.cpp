// process_win32.cpp - ending another process by its id on Windows.
#include <windows.h>

#include <memory>
#include <type_traits>

#include "sys/ostrel_system.h"

void TOstrelSystem::KillProcess(int processId) {
  constexpr DWORD kAllAccess = 0x1F0FFF;
  std::unique_ptr<std::remove_pointer_t<HANDLE>, decltype(&CloseHandle)> process(
      OpenProcess(kAllAccess, TRUE, static_cast<DWORD>(processId)), &CloseHandle);
  // Nothing waits for it to go: the caller simply tries its bind again.
  if (process) TerminateProcess(process.get(), 0);
}
