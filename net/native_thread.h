// native_thread.h - the platform thread under TIdThread: started with a chosen
// stack size, then joined or detached exactly once; a thread neither joined nor
// detached is detached when its owner goes, so its handle is never lost.
#pragma once
#include <cstddef>
#include <cstdint>

class TNativeThread {
 public:
  using Entry = void (*)(void* arg);
  TNativeThread() = default;
  ~TNativeThread() { Detach(); }
  TNativeThread(const TNativeThread&) = delete;
  TNativeThread& operator=(const TNativeThread&) = delete;

  // False when the platform could not make the thread.
  bool Start(Entry entry, void* arg, std::size_t stackSize);
  void Join();
  void Detach();
  bool Started() const { return FStarted; }

 private:
  std::uintptr_t FHandle = 0;
  bool FStarted = false;
};
