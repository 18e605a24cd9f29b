// native_thread_win32.cpp - TNativeThread over Win32 threads.
#include <windows.h>
#include <process.h>

#include "net/native_thread.h"

namespace {
struct StartBlock {
  TNativeThread::Entry entry;
  void* arg;
};
unsigned __stdcall Trampoline(void* p) {
  StartBlock block = *static_cast<StartBlock*>(p);
  delete static_cast<StartBlock*>(p);
  block.entry(block.arg);
  return 0;
}
}  // namespace

bool TNativeThread::Start(Entry entry, void* arg, std::size_t stackSize) {
  auto* block = new StartBlock{entry, arg};
  // The stack size is a reservation: only what the thread touches is committed.
  uintptr_t h = _beginthreadex(nullptr, static_cast<unsigned>(stackSize), Trampoline, block,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (h == 0) {
    delete block;
    return false;
  }
  FHandle = h;
  FStarted = true;
  return true;
}

void TNativeThread::Join() {
  if (!FStarted) return;
  WaitForSingleObject(reinterpret_cast<HANDLE>(FHandle), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(FHandle));
  FStarted = false;
}

void TNativeThread::Detach() {
  if (!FStarted) return;
  CloseHandle(reinterpret_cast<HANDLE>(FHandle));
  FStarted = false;
}
