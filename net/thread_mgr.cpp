// thread_mgr.cpp - TIdThreadMgrDefault.
#include "net/thread_mgr.h"

#include "net/exceptions.h"

TIdThread* TIdThreadMgr::MakeThread() {
  if (!ThreadClassFactory) throw EIdThreadClassNotSpecified();
  return ThreadClassFactory(ThreadStackSize);
}

std::size_t TIdThreadMgr::ManagedCount() {
  std::lock_guard<std::mutex> lock(FManagedLock);
  return FManagedThreads.size();
}

TIdThread* TIdThreadMgrDefault::AcquireThread() {
  TIdThread* thread = MakeThread();
  std::lock_guard<std::mutex> lock(FManagedLock);
  FManagedThreads.insert(thread);
  return thread;
}

void TIdThreadMgrDefault::ReturnThread(TIdThread* thread) {
  {
    std::lock_guard<std::mutex> lock(FManagedLock);
    FManagedThreads.erase(thread);
  }
  if (thread->IsCurrentThread()) {
    thread->FreeOnTerminate();
    thread->Terminate();
  } else {
    delete thread;  // the destructor ends the thread and waits for it
  }
}
