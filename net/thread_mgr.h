// thread_mgr.h - TIdThreadMgrDefault: makes a new thread for every connection and
// takes it back when it ends; threads are never reused.
//
// ManagedThreads is guarded by its own lock: the listener adds, each thread
// removes itself.
#pragma once
#include <cstddef>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "net/component.h"
#include "net/thread.h"

class TIdThreadMgr : public TIdComponent {
 public:
  using ThreadClass = std::function<TIdThread*(std::size_t stackSize)>;

  ThreadClass ThreadClassFactory;    // set by the server at activation
  std::size_t ThreadStackSize = 0;   // 0: the platform's default

  virtual TIdThread* MakeThread();  // raises EIdThreadClassNotSpecified
  virtual TIdThread* AcquireThread() = 0;
  virtual void ReturnThread(TIdThread* thread) = 0;
  std::size_t ManagedCount();

 protected:
  std::mutex FManagedLock;
  std::unordered_set<TIdThread*> FManagedThreads;  // guarded by FManagedLock
};

class TIdThreadMgrDefault : public TIdThreadMgr {
 public:
  TIdThread* AcquireThread() override;
  // On the thread itself: it frees itself when it ends. From another thread: it
  // is ended, waited for and destroyed.
  void ReturnThread(TIdThread* thread) override;
};
