// setup_lock_win32.cpp - a named mutex whose existence is the lock, as with
// the program's single-copy mutex.
#include <windows.h>

#include "getphp/setup_lock.h"

namespace {
constexpr char kSetupMutexName[] = "Ostrel File Sharing Server_PhpSetupMutex";
}  // namespace

TSetupLock::TSetupLock() : FHandle(CreateMutexA(nullptr, TRUE, kSetupMutexName)) {
  FHeld = FHandle != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

TSetupLock::~TSetupLock() {
  if (FHandle != nullptr) CloseHandle(FHandle);
}
