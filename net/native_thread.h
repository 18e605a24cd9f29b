// native_thread.h - the platform thread under TIdThread: started with a chosen
// stack size, then joined or detached exactly once.
#pragma once
#include <cstddef>
#include <cstdint>

class TNativeThread {
 public:
  using Entry = void (*)(void* arg);
  // False when the platform could not make the thread.
  bool Start(Entry entry, void* arg, std::size_t stackSize);
  void Join();
  void Detach();
  bool Started() const { return FStarted; }

 private:
  std::uintptr_t FHandle = 0;
  bool FStarted = false;
};
